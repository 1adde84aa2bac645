// The system's help viewer, WinHelp, seen and driven from another program:
// its topic and popup windows, the text they show, a click on a link of a
// topic, and the error boxes it may show.
#ifndef VT_TESTS_HELP_VIEWER_H
#define VT_TESTS_HELP_VIEWER_H

#include "harness.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

// WinHelp's visible topic window, or null.
HWND HelpTopicWindow();
// WinHelp's popup window, shown or closing, or null.
HWND HelpPopup();
// The text a WinHelp window shows, a "\n" after each paragraph.
std::string HelpText(HWND window);
// Clicks the link that makes up a paragraph of the topic window's text, as
// the mouse would; false if no paragraph reads label.
bool ClickHelpLink(HWND topicWindow, const std::string &label);

// While it lives, every dialog a WinHelp process shows is noted and answered
// No (or OK) at once: WinHelp shows its error boxes while the program that
// asked for help waits for its answer.
class HelpErrorBoxWatch {
public:
    HelpErrorBoxWatch();
    ~HelpErrorBoxWatch();
    std::string Seen(); // the text of each box seen so far, a line each

private:
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::string seen_;
    std::thread thread_;
};

#endif
