#pragma once

#include <string>

#include <FL/Fl_Box.H>

namespace velkrane {

/// A box that draws its text as written, in any script. A widget label
/// would read "@..." as a symbol, so "support@velkrane.example" or a file
/// name with an "@" would lose its end.
class TextBox : public Fl_Box {
 public:
  /// Our widget type number, so a TextBox can be told among a window's
  /// children without run-time type information.
  static constexpr uchar kType = FL_RESERVED_TYPE + 1;

  TextBox(int x, int y, int w, int h, Fl_Boxtype box = FL_NO_BOX);

  void SetText(const std::string& text);
  const std::string& Text() const { return text_; }

  /// Width and height that `text` needs in this box's font, broken into
  /// lines no wider than `wrap_width` when that is above zero.
  void Measure(const std::string& text, int wrap_width, int& width,
               int& height) const;

  /// Lines wider than this break, even inside a word; 0 never breaks.
  void wrap_width(int pixels) { wrap_width_ = pixels; }

  /// Blank pixels between the box's edge and its text.
  int padding() const { return padding_; }
  void padding(int pixels) { padding_ = pixels; }

 protected:
  void draw() override;

 private:
  std::string text_;
  int padding_ = 0;
  int wrap_width_ = 0;
};

}  // namespace velkrane
