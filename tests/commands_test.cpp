#include "app/commands.h"

#include "app/window_layout.h"
#include "tests/sim_fixture.h"
#include "text/script.h"

namespace tavrel {
namespace {

using Bytes = std::vector<unsigned char>;

class CommandsTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        ASSERT_TRUE(StartTavrel());
    }
    // Holds key down for one tick and lets the command's thread finish.
    void PressKey(std::int32_t key, std::int32_t modifier = 0) {
        if (modifier != 0) sim::SetKey(modifier, true);
        sim::SetKey(key, true);
        sim::Tick();
        sim::SetKey(key, false);
        if (modifier != 0) sim::SetKey(modifier, false);
        sim::Tick();
        ASSERT_TRUE(sim::WaitSettled());
    }
};

TEST_F(CommandsTest, StartUpMakesTheWindowPointsTheDialogAndBindsFourKeys) {
    EXPECT_TRUE(sim::WindowCreated());
    const auto dialog = sim::Dialog();
    EXPECT_EQ(dialog.initialDirectory, sim::ProgramFolder);
    EXPECT_EQ(dialog.filterDescription, "\xCE\xC4\xB1\xBE\xCE\xC4\xBC\xFE\xA3\xA8*.txt\xA3\xA9");
    EXPECT_EQ(dialog.defaultExtension, "txt");
    const auto& table = HotkeyTable();
    ASSERT_EQ(table.size(), 4u);
    const std::int32_t keys[] = {VK_F7, VK_F8, VK_F9, VK_F10};
    const HotkeyCallback routines[] = {RecordLeftClick, RecordRightClick, StartPlayback, StopPlayback};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(table[i].key, keys[i]);
        EXPECT_EQ(table[i].routine, routines[i]);
        EXPECT_EQ(table[i].modifiers, 0);
        EXPECT_EQ(table[i].otherKey, 0);
        EXPECT_FALSE(table[i].direct);
    }
    EXPECT_EQ(sim::PeriodicTimer().period, 10);
    EXPECT_EQ(sim::PeriodicTimer().starts, 1);
    EXPECT_EQ(EditBoxText(DelayBox), "1000");
    EXPECT_EQ(EditBoxText(ScriptBox), "");
}

TEST_F(CommandsTest, WindowTableHoldsTheLayout) {
    const WindowSpec& w = MainWindow();
    EXPECT_EQ(w.caption, "Tavrel - tavrel.example.org");
    EXPECT_EQ((std::array{w.x, w.y, w.width, w.height}), (std::array{50, 50, 306, 317}));
    ASSERT_EQ(w.controls.size(), static_cast<std::size_t>(ControlCount));
    const ControlSpec& script = w.controls[ScriptBox];
    EXPECT_EQ(script.kind, ControlKind::ScriptEdit);
    EXPECT_EQ((std::array{script.x, script.y, script.width, script.height}), (std::array{110, 6, 186, 232}));
    const ControlSpec& help = w.controls[HelpLabel];
    EXPECT_EQ(help.text.substr(0, 2), "F7");
    EXPECT_NE(help.text.find("\r\n\r\nF9"), std::string_view::npos);
    EXPECT_TRUE(help.text.ends_with("  tavrel.example.org"));
    EXPECT_EQ(w.controls[LoadScriptButton].x, 24);
}

TEST_F(CommandsTest, F7AndF8RecordTheCursorWithoutModifiers) {
    sim::SetCursor(640, 360);
    PressKey(VK_F7);
    sim::SetCursor(-3, 12);
    PressKey(VK_F8);
    PressKey(VK_F7, VK_CONTROL);
    EXPECT_EQ(EditBoxText(ScriptBox), FormatClickLine(LineKind::LeftClick, 640, 360) +
                                          FormatClickLine(LineKind::RightClick, -3, 12));
}

TEST_F(CommandsTest, RecordingAppendsAfterTheLastByte) {
    SetEditBoxText(ScriptBox, "typed by hand");  // no line end: the line is appended right after
    sim::SetCursor(1, 2);
    PressKey(VK_F7);
    EXPECT_EQ(EditBoxText(ScriptBox), "typed by hand" + FormatClickLine(LineKind::LeftClick, 1, 2));
}

TEST_F(CommandsTest, AddDelayTakesTheBoxTextAsItIs) {
    for (const char* delay : {"250", "", "x1"}) {
        SetEditBoxText(ScriptBox, "");
        SetEditBoxText(DelayBox, delay);
        sim::PressButton(AddDelayButton);
        EXPECT_EQ(EditBoxText(ScriptBox), FormatDelayLine(delay));
    }
}

TEST_F(CommandsTest, F9PlaysAndF10Stops) {
    SetEditBoxText(ScriptBox, FormatClickLine(LineKind::LeftClick, 5, 6));
    PressKey(VK_F9);
    PressKey(VK_F9);  // a second player beside the first
    EXPECT_EQ(sim::ThreadsAlive(), 2);
    ASSERT_TRUE(sim::RunUntil(500));
    PressKey(VK_F10);
    ASSERT_TRUE(sim::RunUntilIdle());
    EXPECT_EQ(sim::MouseLog().size(), 4u);  // one press and release per player
}

TEST_F(CommandsTest, SaveThenLoadRestoresTheScriptByteForByte) {
    const ByteText script = FormatClickLine(LineKind::LeftClick, 1, 2) + "\r\n" + FormatDelayLine("9") + "\xB0\xA1";
    SetEditBoxText(ScriptBox, script);
    sim::AnswerDialog("a.txt");
    sim::PressButton(SaveScriptButton);
    EXPECT_EQ(sim::File("a.txt"), TextToBytes(script));
    SetEditBoxText(ScriptBox, "other");
    sim::AnswerDialog("a.txt");
    sim::PressButton(LoadScriptButton);
    EXPECT_EQ(EditBoxText(ScriptBox), script);
    const auto dialog = sim::Dialog();
    EXPECT_EQ(dialog.modesShown, (std::vector<DialogMode>{DialogMode::Save, DialogMode::Open}));
    EXPECT_EQ(dialog.offeredNames, (std::vector<std::filesystem::path>{"", "a.txt"}));  // the name is kept
    EXPECT_TRUE(sim::Messages().empty());
}

TEST_F(CommandsTest, LoadingStopsAtAZeroByteAndAnEmptyFileEmptiesTheBox) {
    sim::SetFile("z.txt", Bytes{'a', 'b', 0, 'c'});
    sim::AnswerDialog("z.txt");
    sim::PressButton(LoadScriptButton);
    EXPECT_EQ(EditBoxText(ScriptBox), "ab");
    sim::SetFile("empty.txt", {});
    sim::AnswerDialog("empty.txt");
    sim::PressButton(LoadScriptButton);
    EXPECT_EQ(EditBoxText(ScriptBox), "");
}

TEST_F(CommandsTest, CancelledDialogsChangeNothing) {
    SetEditBoxText(ScriptBox, "keep");
    sim::PressButton(SaveScriptButton);
    sim::PressButton(LoadScriptButton);
    EXPECT_EQ(EditBoxText(ScriptBox), "keep");
    EXPECT_TRUE(sim::Messages().empty());
}

TEST_F(CommandsTest, AFailedSaveKeepsTheOldFileAndTheScriptAndSaysSo) {
    sim::SetFile("old.txt", Bytes{'o', 'l', 'd'});
    SetEditBoxText(ScriptBox, "new script");
    sim::FailWrites(true);
    sim::AnswerDialog("old.txt");
    sim::PressButton(SaveScriptButton);
    EXPECT_EQ(sim::File("old.txt"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(EditBoxText(ScriptBox), "new script");
    ASSERT_EQ(sim::Messages().size(), 1u);
    EXPECT_TRUE(sim::Messages()[0].ends_with("old.txt"));
}

TEST_F(CommandsTest, AFileThatCannotBeReadKeepsTheScriptAndSaysSo) {
    SetEditBoxText(ScriptBox, "unsaved work");
    sim::AnswerDialog("missing.txt");
    sim::PressButton(LoadScriptButton);
    EXPECT_EQ(EditBoxText(ScriptBox), "unsaved work");
    ASSERT_EQ(sim::Messages().size(), 1u);
    EXPECT_TRUE(sim::Messages()[0].ends_with("missing.txt"));
}

TEST(StartUp, NoWindowMeansNoHotkeys) {
    sim::Reset();
    ClearHotkeys();
    sim::FailWindow(true);
    EXPECT_EQ(RunTavrel(), 1);
    EXPECT_TRUE(HotkeyTable().empty());
    sim::Reset();
}

}  // namespace
}  // namespace tavrel

namespace tavrel {
namespace {

TEST_F(CommandsTest, PlayersRecordersAndTheMonitorRunTogether) {
    SetEditBoxText(ScriptBox, FormatClickLine(LineKind::LeftClick, 1, 1) + FormatDelayLine("10") +
                                  FormatClickLine(LineKind::RightClick, 2, 2));
    for (int i = 0; i < 3; ++i) PressKey(VK_F9);
    for (int i = 0; i < 30; ++i) {
        sim::SetCursor(i, -i);
        sim::SetKey(VK_F7, true);
        sim::Tick();  // the recording thread runs while players are released below
        ASSERT_TRUE(sim::RunUntil(100 * (i + 1)));
        sim::SetKey(VK_F7, false);
        sim::Tick();
    }
    PressKey(VK_F10);
    ASSERT_TRUE(sim::RunUntilIdle());
    const auto lines = SplitText(EditBoxText(ScriptBox), LineEnd);
    EXPECT_EQ(lines.size(), 3u + 30u);
    EXPECT_EQ(lines.back(), TextLeft(FormatClickLine(LineKind::LeftClick, 29, -29), TextLength(lines.back())));
    // Three players, each a pass of two clicks from 0 to 3010 ms, stopped at 3000: one pass each.
    EXPECT_EQ(sim::MouseLog().size(), 3u * 2 * 2);
    EXPECT_EQ(sim::NowMilliseconds(), 3010);
}

}  // namespace
}  // namespace tavrel
