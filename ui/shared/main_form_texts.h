#pragma once

// The window's own fixed texts (caption, header, buttons, status panels at
// start, the open dialog's filter) and the rules that build texts from them.
// Both front ends show these; the Linux tests check them. What a run and
// its files say is in batch/run_texts.h.

#include <string>
#include <string_view>

namespace velkrane {

extern const char kAppTitle[];      // caption and message-box title
extern const char kHeaderFormat[];  // "%s - Velkrane - %s"
extern const char kHeaderFirstWord[];
extern const char kHeaderSecondWord[];
extern const char kContactFormat[];  // "Contact %s"
extern const char kWebFormat[];      // "Web %s"
extern const char kSupportAddress[];
extern const char kWebAddress[];
extern const char kNoticeText[];  // Label2
extern const char kSelectText[];
extern const char kClearText[];
extern const char kDecodeText[];

/// One entry of a dialog filter: what the user reads and the patterns, in
/// the Windows form ("*.a;*.b").
struct FilterEntry {
  std::string_view description;
  std::string_view pattern;
};

/// The open-file dialog's filter, in the order the dialog lists it.
constexpr FilterEntry kOpenFilter[] = {
    {"X3F Files (*.X3F)", "*.X3F"},
    {"All Files (*.*)", "*.*"},
};

/// "Morlisk - Velkrane - Quendar": L1.
std::string HeaderText();
/// "Contact <address>".
std::string ContactText();
/// "Web <address>".
std::string WebText();

/// The general error box's text: a period is appended when the message's
/// last character sorts above '.', so ")" or "!" get none.
std::string ErrorBoxText(const std::string& message);

}  // namespace velkrane
