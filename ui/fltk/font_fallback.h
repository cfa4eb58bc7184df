#pragma once

// Text in any script in the Linux window. FLTK 1.3 draws a string in one Xft
// font and shows a box for each character that font lacks. These draw such
// characters in an installed font that has them, chosen through fontconfig,
// much as Windows links fonts. A text the current font covers is handed to
// FLTK unchanged, so it looks exactly as before.

#include <FL/Enumerations.H>

#include <string>
#include <vector>

class Fl_Browser;

namespace velkrane {

/// Part of a line and the FLTK font that draws it.
struct FontedText {
  std::string text;
  Fl_Font font;
};

/// The parts of `line` to draw, each with the font that draws it: the
/// current font (fl_font(), fl_size()) where it has the characters. Joiners
/// and variation selectors are left out.
std::vector<FontedText> FontsForLine(const std::string& line);

/// Whether FLTK's `font` at `size` has a glyph for every character of
/// `text`. Changes the current font.
bool FontHasEveryCharacter(Fl_Font font, Fl_Fontsize size,
                           const std::string& text);

/// fl_draw(text, x, y, w, h, align) in the current font, size and colour,
/// with lines broken at '\n' and missing characters drawn in other fonts.
void DrawText(const std::string& text, int x, int y, int w, int h,
              Fl_Align align);

/// fl_width(line) with the same choice of fonts.
double LineWidth(const std::string& line);

/// fl_measure(text, width, height, 0) with the same choice of fonts.
void MeasureText(const std::string& text, int& width, int& height);

/// Draws a browser row as written, where Fl_Browser places its text, in
/// fonts that have its characters; a leading format character is text too.
/// Returns false, drawing nothing, where the browser's own drawing shows it
/// the same: its font covers the text, which starts with no format character.
bool DrawBrowserRow(const Fl_Browser& browser, const char* text, bool selected,
                    int x, int y, int w, int h);

/// The width of a browser row drawn by DrawBrowserRow, margins included.
int BrowserRowWidth(const Fl_Browser& browser, const char* text);

}  // namespace velkrane
