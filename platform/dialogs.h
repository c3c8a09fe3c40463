// Stands in for the system's common dialogs: the message box, the colour chooser, the open and save file
// dialogs and the printer dialog's answer. Texts are Shift_JIS. Every dialog has a test mode that answers at
// once with a prepared answer and records what was asked, so tests never block. No help buttons, no hooks.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window.h"

namespace kz::platform {

// Message box types and answers, with the system's values.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Shows the text with the caption and the buttons of `type`; returns the button chosen (closing the box counts
// as Cancel, or as OK / No when there is no Cancel button).
int message_box(WindowHandle owner, std::string_view text_sjis, std::string_view caption_sjis, unsigned type);

// The colour chooser, starting at `initial` (COLORREF, red in the low byte) with 16 custom colours; true and the
// chosen colour on OK, false on Cancel. The custom colours are read and written back.
bool choose_color(WindowHandle owner, std::uint32_t initial, std::uint32_t custom_colors[16], std::uint32_t* chosen);

// Open and save dialogs: `filter` is "description|pattern;pattern|..." (for example "Figure (*.fig)|*.fig");
// the chosen name comes back in the program's form (Shift_JIS, Windows path). Empty when cancelled.
std::string open_file_dialog(WindowHandle owner, std::string_view title_sjis, std::string_view filter,
                             std::string_view initial_name_sjis);
std::string save_file_dialog(WindowHandle owner, std::string_view title_sjis, std::string_view filter,
                             std::string_view initial_name_sjis);

// Test mode. While on, no dialog is shown: each call takes the prepared answer and appends what it was asked
// ("message_box <caption>|<text>", "choose_color", "open_file <title>", "save_file <title>", "print",
// "choose_compressor") to the log,
// texts in UTF-8. The printer answer is used by printer.h.
struct DialogTestAnswers {
    int message_box = IDOK;
    bool color_accepted = true;
    std::uint32_t color = 0;
    std::string file_name;  // program form; empty = cancelled
    bool print_accepted = true;
    std::string print_pdf_file;        // the printer in test mode prints into this PDF file (UTF-8 path); empty:
                                       // no printer is set up
    std::string compressor = "mjpeg";  // the movie encoder chosen (movie_writer.h); empty = cancelled
    // Runs while a message box is "open", after its question is logged and before it is answered: what a test
    // does here happens between the question and what the answer leads to.
    std::function<void()> while_asking;
};
void set_dialog_test_mode(bool enabled, const DialogTestAnswers& answers = {});
bool dialog_test_mode();
const DialogTestAnswers& dialog_test_answers();
void log_dialog_request(std::string entry);
std::vector<std::string> take_dialog_test_log();

}  // namespace kz::platform
