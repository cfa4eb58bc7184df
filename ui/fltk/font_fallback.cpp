// FL/x.H declares fl_xftfont, the Xft font that fl_font() opened, only for
// FLTK's own files; its character set is what the current font can draw.
#define FL_INTERNALS 1

#include "ui/fltk/font_fallback.h"

#include <algorithm>
#include <deque>
#include <map>
#include <memory>

#include <FL/Fl.H>
#include <FL/Fl_Browser.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xft/Xft.h>
#include <fontconfig/fontconfig.h>

#include "ui/shared/font_runs.h"

namespace velkrane {

namespace {

/// Owns a fontconfig object and hands it to `Destroy` at the end.
template <typename T, void (*Destroy)(T*)>
struct FcDeleter {
  void operator()(T* object) const noexcept { Destroy(object); }
};
template <typename T, void (*Destroy)(T*)>
using FcOwned = std::unique_ptr<T, FcDeleter<T, Destroy>>;

using PatternPtr = FcOwned<FcPattern, FcPatternDestroy>;
using FontSetPtr = FcOwned<FcFontSet, FcFontSetDestroy>;
using CharSetPtr = FcOwned<FcCharSet, FcCharSetDestroy>;
using ObjectSetPtr = FcOwned<FcObjectSet, FcObjectSetDestroy>;

/// Selects `font` at `size` and returns the characters FLTK can draw in it.
CharSetPtr SelectFont(Fl_Font font, Fl_Fontsize size) {
  fl_font(font, size);
  const auto* xft = static_cast<const XftFont*>(fl_xftfont);
  return CharSetPtr(xft && xft->charset ? FcCharSetCopy(xft->charset)
                                        : nullptr);
}

bool Has(const FcCharSet* chars, char32_t c) {
  return chars && FcCharSetHasChar(chars, static_cast<FcChar32>(c));
}

/// The installed fonts, in fontconfig's order of preference for the current
/// font's family, weight and slant; each adds characters the ones before lack.
FontSetPtr SortedFonts() {
  const auto* xft = static_cast<const XftFont*>(fl_xftfont);
  if (!xft || !xft->pattern) return nullptr;
  const ObjectSetPtr wanted(
      FcObjectSetBuild(FC_FAMILY, FC_WEIGHT, FC_SLANT, FC_WIDTH, nullptr));
  if (!wanted) return nullptr;
  const PatternPtr pattern(FcPatternFilter(xft->pattern, wanted.get()));
  if (!pattern || !FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern)) {
    return nullptr;
  }
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  return FontSetPtr(
      FcFontSort(nullptr, pattern.get(), FcTrue, nullptr, &result));
}

/// FLTK font numbers for the stand-in families, given out once each.
class FontNumbers {
 public:
  Fl_Font For(const std::string& family) {
    const auto known = numbers_.find(family);
    if (known != numbers_.end()) return known->second;
    // Past every number FLTK's font list gave out.
    if (next_ < 0) next_ = Fl::set_fonts(nullptr);
    // FLTK keeps the pointer, and reads a leading space as "regular"
    // (not bold or italic, which a family starting with B, I or P would be).
    names_.push_back(" " + family);
    Fl::set_font(next_, names_.back().c_str());
    numbers_.emplace(family, next_);
    return next_++;
  }

 private:
  std::map<std::string, Fl_Font> numbers_;
  std::deque<std::string> names_;
  Fl_Font next_ = -1;
};

/// One FLTK font and the fonts that stand in where it lacks a character.
/// Number 0 is the font itself, then fontconfig's order.
class StandIns {
 public:
  /// The current font is the one stood in for.
  StandIns() : font_(fl_font()), chars_(SelectFont(font_, fl_size())) {
    fonts_ = SortedFonts();
    stand_ins_.resize(fonts_ ? static_cast<std::size_t>(fonts_->nfont) : 0);
  }

  int Count() const { return 1 + static_cast<int>(stand_ins_.size()); }

  Fl_Font FltkFont(int index) const {
    return index == 0 ? font_ : stand_ins_[index - 1].number;
  }

  /// Whether number `index` draws `c` at `size`. A stand-in is checked in
  /// the form FLTK opens it by family name, which may be another face of
  /// that family than the one fontconfig sorted; the current font stays.
  bool Covers(int index, char32_t c, Fl_Fontsize size, FontNumbers& numbers) {
    if (index == 0) return Has(chars_.get(), c);
    StandIn& stand_in = stand_ins_[index - 1];
    FcPattern* sorted = fonts_->fonts[index - 1];
    FcCharSet* sorted_chars = nullptr;
    if (FcPatternGetCharSet(sorted, FC_CHARSET, 0, &sorted_chars) !=
            FcResultMatch ||
        !Has(sorted_chars, c)) {
      return false;
    }
    if (stand_in.number < 0) {
      FcChar8* family = nullptr;
      if (FcPatternGetString(sorted, FC_FAMILY, 0, &family) != FcResultMatch)
        return false;
      stand_in.number = numbers.For(reinterpret_cast<const char*>(family));
      stand_in.chars = SelectFont(stand_in.number, size);
      fl_font(font_, size);
    }
    return Has(stand_in.chars.get(), c);
  }

 private:
  struct StandIn {
    Fl_Font number = -1;
    CharSetPtr chars;
  };

  Fl_Font font_;
  CharSetPtr chars_;
  FontSetPtr fonts_;
  std::vector<StandIn> stand_ins_;
};

/// What the window has learnt about its fonts, for the life of the process.
class FontFallback {
 public:
  static FontFallback& Get() {
    static FontFallback fallback;
    return fallback;
  }

  std::vector<FontedText> Split(const std::string& line) {
    const Fl_Font font = fl_font();
    const Fl_Fontsize size = fl_size();
    auto& stand_ins = stand_ins_[font];
    if (!stand_ins) stand_ins = std::make_unique<StandIns>();
    const auto runs =
        SplitIntoFontRuns(line, stand_ins->Count(), [&](int i, char32_t c) {
          return stand_ins->Covers(i, c, size, numbers_);
        });
    std::vector<FontedText> parts;
    for (const FontRun& run : runs) {
      if (run.font == kNotDrawn) continue;
      parts.push_back({line.substr(run.begin, run.end - run.begin),
                       stand_ins->FltkFont(run.font)});
    }
    return parts;
  }

 private:
  std::map<Fl_Font, std::unique_ptr<StandIns>> stand_ins_;
  FontNumbers numbers_;
};

using Lines = std::vector<std::vector<FontedText>>;

/// `text` by lines, each split by font; `plain` tells whether the current
/// font draws all of it.
Lines LayOut(const std::string& text, bool& plain) {
  const Fl_Font font = fl_font();
  Lines lines;
  plain = true;
  std::size_t at = 0;
  for (;;) {
    const auto newline = text.find('\n', at);
    const std::size_t length =
        newline == std::string::npos ? newline : newline - at;
    const std::string line = text.substr(at, length);
    lines.push_back(FontsForLine(line));
    std::size_t drawn = 0;
    for (const auto& part : lines.back()) {
      plain = plain && part.font == font;
      drawn += part.text.size();
    }
    plain = plain && drawn == line.size();
    if (newline == std::string::npos) break;
    at = newline + 1;
  }
  return lines;
}

double PartsWidth(const std::vector<FontedText>& parts, Fl_Fontsize size) {
  const Fl_Font font = fl_font();
  double width = 0;
  for (const auto& part : parts) {
    fl_font(part.font, size);
    width += fl_width(part.text.c_str(), static_cast<int>(part.text.size()));
  }
  fl_font(font, size);
  return width;
}

/// Draws lines laid out by LayOut as fl_draw places them, in the current
/// font's metrics, so that every part of a line sits on one baseline.
void DrawLines(const Lines& lines, int x, int y, int w, int h, Fl_Align align) {
  const Fl_Font font = fl_font();
  const Fl_Fontsize size = fl_size();
  if (align & FL_ALIGN_CLIP) fl_push_clip(x, y, w, h);
  const int line_height = fl_height();
  const int descent = fl_descent();
  const int count = static_cast<int>(lines.size());
  int bottom = y + (h - count * line_height) / 2 + line_height;
  if (align & FL_ALIGN_BOTTOM) bottom = y + h - (count - 1) * line_height;
  if (align & FL_ALIGN_TOP) bottom = y + line_height;
  for (const auto& parts : lines) {
    const int width = static_cast<int>(PartsWidth(parts, size) + 0.5);
    int left = x + (w - width) / 2;
    if (align & FL_ALIGN_LEFT) left = x;
    if (align & FL_ALIGN_RIGHT) left = x + w - width;
    double pen = left;
    for (const auto& part : parts) {
      const int length = static_cast<int>(part.text.size());
      fl_font(part.font, size);
      fl_draw(part.text.c_str(), length, static_cast<int>(pen + 0.5),
              bottom - descent);
      pen += fl_width(part.text.c_str(), length);
    }
    fl_font(font, size);
    bottom += line_height;
  }
  if (align & FL_ALIGN_CLIP) fl_pop_clip();
}

}  // namespace

std::vector<FontedText> FontsForLine(const std::string& line) {
  const Fl_Font font = fl_font();
  const Fl_Fontsize size = fl_size();
  auto parts = FontFallback::Get().Split(line);
  fl_font(font, size);
  return parts;
}

bool FontHasEveryCharacter(Fl_Font font, Fl_Fontsize size,
                           const std::string& text) {
  const CharSetPtr chars = SelectFont(font, size);
  // A second font that has everything takes what the first lacks.
  const auto runs = SplitIntoFontRuns(text, 2, [&](int i, char32_t c) {
    return i == 1 || Has(chars.get(), c);
  });
  return std::all_of(runs.begin(), runs.end(),
                     [](const FontRun& run) { return run.font == 0; });
}

void DrawText(const std::string& text, int x, int y, int w, int h,
              Fl_Align align) {
  bool plain = true;
  const Lines lines = LayOut(text, plain);
  if (plain) {
    fl_draw(text.c_str(), x, y, w, h, align, nullptr, 0);
  } else {
    DrawLines(lines, x, y, w, h, align);
  }
}

double LineWidth(const std::string& line) {
  return PartsWidth(FontsForLine(line), fl_size());
}

void MeasureText(const std::string& text, int& width, int& height) {
  bool plain = true;
  const auto lines = LayOut(text, plain);
  width = 0;
  height = 0;
  if (plain) {
    fl_measure(text.c_str(), width, height, 0);
    return;
  }
  for (const auto& parts : lines) {
    width = std::max(width, static_cast<int>(PartsWidth(parts, fl_size())));
  }
  height = static_cast<int>(lines.size()) * fl_height();
}

bool DrawBrowserRow(const Fl_Browser& browser, const char* text, bool selected,
                    int x, int y, int w, int h) {
  if (!text || !*text) return false;
  fl_font(browser.textfont(), browser.textsize());
  bool plain = true;
  const Lines lines = LayOut(text, plain);
  // The browser would read a leading format character as a code (bold, a
  // colour, a size...) and not draw it; a file name is shown as written.
  if (plain && text[0] != browser.format_char()) return false;
  Fl_Color colour = browser.textcolor();
  if (selected) colour = fl_contrast(colour, browser.selection_color());
  if (!browser.active_r()) colour = fl_inactive(colour);
  fl_color(colour);
  // Where Fl_Browser puts a row's text, with its alignment.
  DrawLines(lines, x + 3, y, w - 6, h, FL_ALIGN_LEFT);
  return true;
}

int BrowserRowWidth(const Fl_Browser& browser, const char* text) {
  if (!text) return 0;
  fl_font(browser.textfont(), browser.textsize());
  // The margins DrawBrowserRow and Fl_Browser leave on both sides.
  return static_cast<int>(LineWidth(text)) + 6;
}

}  // namespace velkrane
