// What the user sees on asking for help on a control of the panel or its
// pages: the system's WinHelp showing, from vtpanel.hlp as the driver package
// installs it, the topic that the help source writes for that control.
//
//   help_test SOURCE     (SOURCE: the text the help file's topics come from)
#include "help_viewer.h"

#include "panel/help_ids.h"
#include "resource.h"
#include "tools/helpgen/help_source.h"

#include <map>

namespace {

// Each control of the help table, as a run of count ids, and the topic the
// user should see for it, by its label in the help source; none for the
// tab control.
const struct { int first, count; const char *topic; } kControls[] = {
    {IDC_PANEL_TAB, 1, nullptr}, {IDC_APPLY, 1, "Apply"}, {IDC_DRIVER_VERSION, 1, "Driver version"},
    {IDC_LAYOUT_2, 1, "2 Speakers"}, {IDC_LAYOUT_STEREO_X2, 1, "Stereo X 2"}, {IDC_LAYOUT_4, 1, "4 Speakers"},
    {IDC_LAYOUT_6, 1, "6 Speakers"}, {IDC_TEST_ALL, 1, "Test All"}, {IDC_UNINSTALL, 1, "Uninstall"},
    {IDC_CPU_USAGE, 1, "CPU Usage"}, {IDC_REVERB, 1, "Reverb"}, {IDC_ENVIRONMENT, 1, "Default Environment"},
    {IDC_STEREO_EXPANSION, 1, "Enable Stereo Expansion"}, {IDC_SPREAD, 1, "Spread"}, {IDC_CENTER, 1, "Center"},
    {IDC_LOW_FREQUENCY, 1, "Low Frequency Enhancement"}, {IDC_EFFECTS_ICON, 1, "Q3D symbol"}, {IDC_ELEVATION, 1, "Elevation"},
    {IDC_INTERPOLATE, 1, "Interpolate Sample Rate Conversion"}, {IDC_MODE_QSOUND, 1, "QSound"}, {IDC_MODE_STEREO, 1, "Stereo"},
    {IDC_OUTPUT_SPEAKERS, 1, "Speakers"}, {IDC_OUTPUT_HEADPHONES, 1, "Headphones"}, {IDC_OUTPUT_MONO, 1, "Mono"},
    {IDC_OUTPUT_QUAD, 1, "Quad"}, {IDC_PROPERTY1_ON, 1, "Extra effect"}, {IDC_PROPERTY1_VALUE, 1, "Extra effect value"},
    {IDC_LIMIT_TOTAL, 1, "Limit Total Buffers"}, {IDC_MAX_TOTAL, 1, "Max Total Buffers"}, {IDC_MAX_PLAY, 1, "Max Play Buffers"},
    {IDC_MAX_TOTAL_SPIN, 1, "Max Total Buffers"}, {IDC_MAX_PLAY_SPIN, 1, "Max Play Buffers"}, {IDC_PLAY_UNLIMITED, 1, "Unlimited"},
    {IDC_PLAY_LIMITED, 1, "Limited"}, {IDC_PLAY_LONGEST, 1, "Play Longest Buffers"}, {IDC_FLOATING_POINT, 1, "Floating Point"},
    {IDC_LATENCY, 1, "Latency"}, {IDC_MIX_PRIMARY, 1, "Mix into primary buffer"}, {IDC_LATENCY_SPIN, 1, "Latency"},
    {IDC_BYPASS, 1, "Bypass to DirectSound"}, {IDC_VOLUME, 1, "Volume"}, {IDC_PLAYBACK_VOLUME0, 6, "Playback volume"},
    {IDC_PLAYBACK_BALANCE0, 6, "Playback balance"}, {IDC_PLAYBACK_MUTE0, 6, "Mute"}, {IDC_RECORD_VOLUME0, 4, "Recording volume"},
    {IDC_RECORD_BALANCE0, 4, "Recording balance"}, {IDC_RECORD_SELECT0, 4, "Select"},
};

// WinHelp finds a control's context in the table by the control's id; the
// panel's own two requests with the table Wine's WinHelp refuses, so each
// context is asked for as the number it is. Whatever it is asked, WinHelp
// shows no error box, and HELP_QUIT leaves no WinHelp process.
TEST(Help, EachControlsContextShowsTheTopicWrittenForIt)
{
    HelpSource source;
    std::string error;
    ASSERT_TRUE(LoadHelpSource(__argc > 1 ? __argv[1] : "", &source, &error)) << error;
    std::map<DWORD, DWORD> contexts;
    for (const DWORD *pair = helpIdTable; pair[0]; pair += 2)
        EXPECT_TRUE(contexts.emplace(pair[0], pair[1]).second) << pair[0] << " twice";
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HelpErrorBoxWatch boxes;
    size_t controls = 0;
    for (const auto &c : kControls) {
        const HelpTopic *topic = nullptr;
        for (const HelpTopic &t : source.topics)
            topic = c.topic && t.label == c.topic ? &t : topic;
        ASSERT_EQ(c.topic != nullptr, topic != nullptr) << c.topic;
        for (int id = c.first; id < c.first + c.count; ++id, ++controls)
            EXPECT_EQ(topic ? topic->number : 0xFFFFFFFF, contexts.count(id) ? contexts[id] : 0) << "control " << id;
        if (!topic || !contexts.count(c.first))
            continue;
        EXPECT_TRUE(WinHelpA(window, kHelpFile, HELP_CONTEXT, contexts[c.first]));
        EXPECT_TRUE(WaitFor([&] { return HelpTopicWindow() && HelpText(HelpTopicWindow()) == topic->text + "\n"; }, 5000))
            << "control " << c.first << ": " << (HelpTopicWindow() ? HelpText(HelpTopicWindow()) : "no window");
    }
    EXPECT_EQ(controls, contexts.size()); // no control in the table that the user would not expect
    WinHelpA(window, kHelpFile, HELP_QUIT, 0);
    EXPECT_TRUE(WaitFor([] { return ProcessCount("winhlp32.exe") == 0; }, 5000));
    EXPECT_EQ("", boxes.Seen());
    DestroyWindow(window);
}

} // namespace
