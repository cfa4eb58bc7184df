#pragma once

// Everything about the main window that needs no toolkit: its texts, the
// position and size of every control, and the rules for the message boxes.
// Both front ends build from this, and the Linux tests check it.

#include <string>
#include <vector>

namespace velkrane {

extern const char kAppTitle[];          // caption and message-box title
extern const char kHeaderFormat[];      // "%s - Velkrane - %s"
extern const char kHeaderFirstWord[];
extern const char kHeaderSecondWord[];
extern const char kContactFormat[];     // "Contact %s"
extern const char kWebFormat[];         // "Web %s"
extern const char kSupportAddress[];
extern const char kWebAddress[];
extern const char kNoticeText[];        // Label2
extern const char kSelectText[];
extern const char kClearText[];
extern const char kDecodeText[];
/// The open-file dialog's filter: pairs of "description|pattern".
extern const char kOpenFilter[];

struct Rect {
  int left, top, width, height;
};

constexpr int kClientWidth = 506;
constexpr int kClientHeight = 407;
constexpr int kWindowLeft = 210;
constexpr int kWindowTop = 179;
constexpr int kListItemHeight = 13;
constexpr int kOpenBufferChars = 65519;

// Within the client area; the header children are relative to Panel1, which
// sits at the client origin.
constexpr Rect kPanel1 = {0, 0, 506, 49};
constexpr Rect kImage1 = {8, 8, 32, 32};
constexpr int kL1Left = 264, kL1Top = 8;
constexpr int kLabel2Left = 168, kLabel2Top = 32;
constexpr int kLabelHeight = 13;
constexpr Rect kLBMain = {8, 56, 409, 321};
constexpr Rect kButton2 = {424, 56, 75, 25};  // Select
constexpr Rect kButton3 = {424, 85, 75, 25};  // Clear
constexpr Rect kButton1 = {424, 112, 75, 25};  // Decode
constexpr Rect kSBar = {0, 388, 506, 19};
/// Right edges of the status-bar panels; the last one runs to the bar's end.
constexpr int kStatusPanelEdges[] = {50, 250, -1};
/// The panel that shows progress.
constexpr int kStatusPanel = 1;

/// "Morlisk - Velkrane - Quendar".
std::string HeaderText();
/// "Contact <address>".
std::string ContactText();
/// "Web <address>".
std::string WebText();

/// The general error box's text: a period is appended when the message's
/// last character sorts above '.', so ")" or "!" get none.
std::string ErrorBoxText(const std::string& message);

/// One entry of a dialog filter: what the user reads and the patterns.
struct FilterEntry {
  std::string description;
  std::string pattern;
};
/// kOpenFilter split into its entries.
std::vector<FilterEntry> OpenFilterEntries();

}  // namespace velkrane
