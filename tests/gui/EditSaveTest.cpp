// The five edits and the two saves through the windows: the handlers'
// sequence around the core bodies, the volume dialog, Save As's names and
// overwrite prompt, Cancel and failures of a save, and Close's save prompt.

#include "GuiFixture.h"

#include "document/ViewCommands.h"

#include "app/Formloudness.h"
#include "app/Formproperties.h"
#include "edit/Formnormalize.h"
#include "edit/Formvolume.h"
#include "edit/LoudnessMeter.h"
#include "export/Formsave.h"
#include "export/SaveSequence.h"
#include "platform/widgets/QtUserDialogs.h"
#include "platform/audio/Bass.h"
#include "support/Media.h"
#include "support/Process.h"
#include "support/ReferenceModel.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QProgressBar>
#include <QPushButton>
#include <QKeyEvent>
#include <QTimer>

#include <filesystem>

namespace velmora {
namespace {

using test::Bytes;
using test::GuiTest;

class EditSaveTest : public GuiTest {
protected:
    // A frame-tagged document of 10 columns at 10:1 plus a partial one.
    void OpenTagged(int channels, int bits)
    {
        const std::uint32_t frames = 104321;
        auto builder = test::WaveBuilder().Format(1, static_cast<std::uint16_t>(channels), 8000,
                                                  static_cast<std::uint16_t>(bits));
        builder.Samples(bits == 8 ? test::Pcm8(test::FrameTagged8(frames, channels))
                                  : test::Pcm16(test::FrameTagged16(frames, channels)));
        source = builder.WriteTo(dir / "doc.wav");
        ASSERT_TRUE(Start());
        OpenThroughDialog(source);
        ASSERT_TRUE(Doc().DocumentOpen);
        ASSERT_EQ(Doc().ColumnCount, 11u);
    }

    test::ModelFormat Format() const
    {
        test::ModelFormat f;
        f.Channels = Doc().Channels;
        f.BitsPerSample = Doc().BitsPerSample;
        f.DataOffset = Doc().DataOffset;
        f.DataEnd = Doc().DataEnd;
        f.FramesPerColumn = Doc().FramesPerColumn;
        return f;
    }

    Bytes WorkFile() const { return test::ReadWholeFile(Doc().WorkFile); }

    // Answers the volume dialog when it shows: item and mute, then OK or
    // Cancel (or its close box when closeBox).  Records what it found.
    void AnswerVolume(int item, bool mute, bool ok, bool closeBox = false)
    {
        QTimer::singleShot(0, [=, this] {
            volumeFound = {VolumeForm->ComboBox1()->currentIndex(), VolumeForm->CheckBoxMute()->isChecked()};
            VolumeForm->ComboBox1()->setCurrentIndex(item);
            VolumeForm->CheckBoxMute()->setChecked(mute);
            if (closeBox)
                VolumeForm->close();
            else
                (ok ? VolumeForm->ButtonOk() : VolumeForm->ButtonCancel())->click();
        });
    }

    // The ways a user stops a save: Cancel, Esc and the close box.
    enum class StopBy { Cancel, Escape, CloseBox };

    // Stops the save once when(SaveForm) holds.
    void CancelSaveWhen(std::function<bool()> condition, StopBy how = StopBy::Cancel)
    {
        auto* presser = new QTimer(SaveForm);
        QObject::connect(presser, &QTimer::timeout, [presser, condition, how] {
            if (SaveForm->isVisible() && condition()) {
                presser->stop();
                if (how == StopBy::Escape) {
                    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                    QApplication::sendEvent(SaveForm, &escape);
                } else if (how == StopBy::CloseBox) {
                    SaveForm->close();
                } else {
                    SaveForm->ButtonCancelClick();
                }
            }
        });
        presser->start(5);
    }

    // ... with the play position at most position frames in: a cut puts
    // it at the start of what it cut, other edits keep it where playing
    // had reached.
    void ExpectStoppedAndModifiedAt(std::uint32_t selStart, std::uint32_t selFinish, std::uint32_t position = 0)
    {
        EXPECT_EQ(Doc().SelStart, selStart);
        EXPECT_EQ(Doc().SelFinish, selFinish);
        EXPECT_TRUE(Doc().Modified);
        EXPECT_EQ(Doc().PlayState, psStopped);
        EXPECT_NE(Doc().Stream, 0u);
        EXPECT_LE(PlayFrameNow(Doc()), position);
        EXPECT_EQ(static_cast<std::uint32_t>(Doc().StreamLength), Doc().TotalFrames * Doc().FrameSize);
        EXPECT_EQ(Main().WaveBitmap.Width, static_cast<int>(Doc().ColumnCount));
        EXPECT_TRUE(C().ButtonSave->isEnabled());
        EXPECT_TRUE(C().MSave->isEnabled());
    }

    std::string source;
    std::pair<int, bool> volumeFound{-1, true};
};

enum class Edit { Delete, CutOut, Volume50, Mute, FadeIn, FadeOut };

struct EditCase {
    Edit What;
    int Channels;
    int Bits;
};

std::string EditCaseName(const testing::TestParamInfo<EditCase>& info)
{
    static const char* const names[] = {"Delete", "CutOut", "Volume50", "Mute", "FadeIn", "FadeOut"};
    return std::string(names[static_cast<int>(info.param.What)]) + (info.param.Bits == 8 ? "Mono8" : "Stereo16");
}

class EditThroughWindows : public EditSaveTest, public testing::WithParamInterface<EditCase> {};

TEST_P(EditThroughWindows, RewritesTheWorkingFileAsTheModelAndStopsPlayback)
{
    const EditCase c = GetParam();
    OpenTagged(c.Channels, c.Bits);
    SetMarkers(Doc(), 2, 6);
    const Bytes before = WorkFile();
    const test::ModelFormat f = Format();
    Main().CButtonPlayClick();

    Bytes expected;
    std::pair<std::uint32_t, std::uint32_t> markers{2, 6};
    switch (c.What) {
    case Edit::Delete:
        expected = test::ModelDelete(before, f, 2, 6);
        markers = {2, 3};
        C().MDelete->trigger();
        break;
    case Edit::CutOut:
        expected = test::ModelCutOut(before, f, 2, 6);
        markers = {0, 3};
        C().ButtonCutOut->click();
        break;
    case Edit::Volume50:
        expected = test::ModelVolume(before, f, 2, 6, 0.5f, false);
        AnswerVolume(5, false, true);
        C().ButtonVolume->click();
        break;
    case Edit::Mute:
        expected = test::ModelVolume(before, f, 2, 6, 1.0f, true);
        AnswerVolume(0, true, true);
        C().MVolume->trigger();
        break;
    case Edit::FadeIn:
        expected = test::ModelFade(before, f, 2, 6, true);
        C().MFadeIn->trigger();
        break;
    case Edit::FadeOut:
        expected = test::ModelFade(before, f, 2, 6, false);
        C().ButtonFadeOut->click();
        break;
    }
    EXPECT_TRUE(WorkFile() == expected);
    const std::uint32_t columns = (c.What == Edit::Delete) ? 7 : (c.What == Edit::CutOut) ? 4 : 11;
    EXPECT_EQ(Doc().ColumnCount, columns);
    const auto peaks = test::ModelScan(expected, Format(), columns);
    EXPECT_EQ(Doc().PeakUpper, peaks.Upper);
    // The cuts put the position at the join (the kept range's start);
    // the others keep it where playing had reached, a moment in.
    const std::uint32_t position = c.What == Edit::Delete   ? 2 * 10000
                                   : c.What == Edit::CutOut ? 0
                                                            : 8000;
    ExpectStoppedAndModifiedAt(markers.first, markers.second, position);
    if (c.What == Edit::Delete)
        EXPECT_EQ(PlayFrameNow(Doc()), position);
    EXPECT_FALSE(ProcessForm->isVisible());
    EXPECT_EQ(ProcessForm->ProgressBar2()->value(), 100);
    EXPECT_TRUE(dialogs.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Edits, EditThroughWindows,
                         testing::Values(EditCase{Edit::Delete, 2, 16}, EditCase{Edit::CutOut, 2, 16},
                                         EditCase{Edit::Volume50, 2, 16}, EditCase{Edit::Mute, 2, 16},
                                         EditCase{Edit::FadeIn, 2, 16}, EditCase{Edit::FadeOut, 2, 16},
                                         EditCase{Edit::Delete, 1, 8}, EditCase{Edit::CutOut, 1, 8},
                                         EditCase{Edit::Volume50, 1, 8}, EditCase{Edit::Mute, 1, 8},
                                         EditCase{Edit::FadeIn, 1, 8}, EditCase{Edit::FadeOut, 1, 8}),
                         EditCaseName);

TEST_F(EditSaveTest, VolumeCancelChangesNothingButTheStreamAndTheDialogStartsAfreshEveryTime)
{
    OpenTagged(2, 16);
    const Bytes before = WorkFile();
    const HSTREAM first = Doc().Stream;

    AnswerVolume(6, true, false);  // 25 % and Mute, then Cancel
    Main().ButtonVolumeClick();
    EXPECT_EQ(volumeFound, std::make_pair(3, false));
    AnswerVolume(0, false, false, true);  // the close box
    Main().ButtonVolumeClick();
    EXPECT_EQ(volumeFound, std::make_pair(3, false));

    EXPECT_TRUE(WorkFile() == before);
    EXPECT_FALSE(Doc().Modified);
    EXPECT_FALSE(C().ButtonSave->isEnabled());
    EXPECT_NE(Doc().Stream, 0u);
    EXPECT_NE(Doc().Stream, first);

    // OK at 100 % without Mute touches nothing, yet counts as an edit.
    AnswerVolume(3, false, true);
    Main().ButtonVolumeClick();
    EXPECT_TRUE(WorkFile() == before);
    EXPECT_TRUE(Doc().Modified);
}

// The dialogs beside the five edits, driven as a user would: Volume's
// Other with a gain in dB, Normalize to a peak, Loudness's figures, and
// Properties' fields, which mark the document modified and go into the save.
TEST_F(EditSaveTest, OtherGainNormalizeLoudnessAndPropertiesFromTheirDialogs)
{
    const std::string path = SineWave("tone.wav", 8000, 2, 8000 * 4);
    ASSERT_TRUE(Start());
    OpenThroughDialog(path);
    ASSERT_TRUE(Doc().DocumentOpen);
    Main().MSelectAllClick();
    NullProgress none;
    const double peakBefore = MeasureLoudness(Doc(), none)->SamplePeak;

    QTimer::singleShot(0, [] {
        VolumeForm->ComboBox1()->setCurrentIndex(TVolumeForm::OtherItem());
        EXPECT_TRUE(VolumeForm->OtherGain()->isEnabled());
        VolumeForm->OtherGain()->setValue(-6.0);
        VolumeForm->ButtonOk()->click();
    });
    Main().ButtonVolumeClick();
    EXPECT_NEAR(MeasureLoudness(Doc(), none)->SamplePeak, peakBefore - 6.0, 0.05);

    QTimer::singleShot(0, [] {
        NormalizeForm->PeakTarget->setValue(-3.0);
        NormalizeForm->Buttons->button(QDialogButtonBox::Ok)->click();
    });
    Main().MNormalizeClick();
    EXPECT_NEAR(MeasureLoudness(Doc(), none)->SamplePeak, -3.0, 0.05);
    EXPECT_TRUE(Main().History.CanUndo());

    // The figures shown, then Close.
    QString shownPeak;
    auto* closer = new QTimer(&Main());
    QObject::connect(closer, &QTimer::timeout, [&] {
        QLabel* peak = Main().LoudnessForm->Values[5];
        if (Main().LoudnessForm->isVisible() && !Main().LoudnessForm->Bar->isVisible()) {
            closer->stop();
            shownPeak = peak->text();
            Main().LoudnessForm->Buttons->button(QDialogButtonBox::Close)->click();
        }
    });
    closer->start(5);
    Main().MLoudnessClick();
    EXPECT_EQ(shownPeak, "-3.0 dBFS");

    QTimer::singleShot(0, [this] {
        auto* title = Main().PropertiesForm->findChild<QLineEdit*>(QStringLiteral("PropertyTitle"));
        ASSERT_NE(title, nullptr);
        title->setText(QStringLiteral("Morning"));
        Main().PropertiesForm->Buttons->button(QDialogButtonBox::Ok)->click();
    });
    Main().MPropertiesClick();
    EXPECT_EQ(Doc().Metadata.Title, "Morning");
    EXPECT_TRUE(Doc().Modified);
    dialogs.SaveChoices = {UserDialogs::SaveChoice{dir / "tagged.mp3", 1}};
    Doc().ProgramFolder = VELMORA_PLUGIN_DIR;
    Main().ButtonSaveAsClick();
    const auto probed = test::RunProcess({"ffprobe", "-v", "error", "-show_entries", "format_tags=title", "-of",
                                          "default=nw=1", dir / "tagged.mp3"});
    EXPECT_EQ(probed.Out, "TAG:title=Morning\n");
}

// Edit > Clean Joins, once checked, goes with every later Delete and Cut
// Out (and into the configuration file), until it is checked off.
TEST_F(EditSaveTest, CleanJoinsGoWithTheCutsAndAFlacSaveKeepsTheirSamples)
{
    const std::string path = SineWave("tone.wav", 8000, 2, 8000 * 4);
    ASSERT_TRUE(Start());
    OpenThroughDialog(path);
    ASSERT_TRUE(C().MCleanJoins->isEnabled());
    EXPECT_FALSE(C().MCleanJoins->isChecked());
    C().MCleanJoins->trigger();
    SetMarkers(Doc(), 2, 5);
    Main().MDeleteClick();
    ASSERT_EQ(Main().History.Undo.size(), 1u);
    EXPECT_TRUE(Main().History.Undo.back().Edit.CleanJoins);
    const auto configuration = test::ReadWholeFile(Main().ConfigurationFile);
    EXPECT_NE(std::string(configuration.begin(), configuration.end()).find("CleanJoins=1"), std::string::npos);
    C().MCleanJoins->trigger();
    SetMarkers(Doc(), 1, 3);
    Main().MCutOutClick();
    ASSERT_EQ(Main().History.Undo.size(), 2u);
    EXPECT_FALSE(Main().History.Undo.back().Edit.CleanJoins);

    // Saved through the dialog's FLAC entry (the sixth, after every file):
    // the name gets its ending and the file holds the samples exactly.
    dialogs.SaveChoices = {UserDialogs::SaveChoice{dir / "cut", 6}};
    Main().ButtonSaveAsClick();
    EXPECT_EQ(Doc().SourceFile, dir / "cut.flac");
    const auto decoded = test::RunProcess({"ffmpeg", "-v", "error", "-i", dir / "cut.flac", "-f", "s16le", "-"});
    const auto work = test::ReadWholeFile(Doc().WorkFile);
    EXPECT_TRUE(decoded.Out == std::string(work.begin() + Doc().DataOffset, work.end()));
}

TEST_F(EditSaveTest, SaveWritesOverTheOpenedFileAndSaveAsCompletesTheName)
{
    OpenTagged(2, 16);
    Doc().ProgramFolder = VELMORA_PLUGIN_DIR;
    C().ButtonFadeIn->click();

    Main().ButtonSaveClick();
    EXPECT_TRUE(test::ReadWholeFile(source) == WorkFile());
    EXPECT_FALSE(Doc().Modified);
    EXPECT_FALSE(C().ButtonSave->isEnabled());
    EXPECT_NE(Doc().Stream, 0u);
    EXPECT_EQ(SaveForm->windowTitle(), QStringLiteral("Save"));

    // "song" with the MP3 entry: encoded, and the document's file from now on.
    dialogs.SaveChoices = {UserDialogs::SaveChoice{dir / "song", 3}};
    Main().ButtonSaveAsClick();
    EXPECT_EQ(SaveForm->windowTitle(), QStringLiteral("Save As"));
    EXPECT_EQ(Doc().SourceFile, dir / "song.mp3");
    EXPECT_TRUE(test::Shell("ffmpeg -v error -i '" + (dir / "song.mp3") + "' -f null -"));

    // The dialog starts from the last name; "a.txt" with the WAV entry gets
    // ".wav" appended, a byte copy.
    dialogs.SaveChoices = {UserDialogs::SaveChoice{dir / "a.txt", 2}};
    Main().MSaveAsClick();
    EXPECT_EQ(dialogs.SaveInitialNames.back(), dir / "song.mp3");
    EXPECT_TRUE(test::ReadWholeFile(dir / "a.txt.wav") == WorkFile());
    EXPECT_TRUE(dialogs.Messages.empty());
}

// The file dialog itself: choosing a type after typing a name keeps the
// name as typed (the dialog would swap its extension), so that the
// program's own rule completes it ("t_e.txt" as WAV gives "t_e.txt.wav").
TEST_F(EditSaveTest, ChoosingATypeInTheSaveDialogKeepsTheTypedName)
{
    QtUserDialogs real;
    QTimer::singleShot(100, [this] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->clear();
        QTest::keyClicks(name, QString::fromStdString(dir / "t_e.txt"));
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        types->setCurrentIndex(1);
        emit types->activated(1);
        EXPECT_EQ(name->text(), QString::fromStdString(dir / "t_e.txt"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    const auto choice = real.ChooseFileToSave("Same as the source|*.*|Wave (*.wav)|*.wav|MP3 (*.mp3)|*.mp3", "");
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->filterIndex, 2);
    EXPECT_EQ(CompleteSaveName(choice->fileName, choice->filterIndex, "a.mp3"), dir / "t_e.txt.wav");
}

TEST_F(EditSaveTest, TheOverwritePromptsThreeAnswers)
{
    OpenTagged(1, 8);
    const std::string existing = dir / "old.wav";
    test::WriteWholeFile(existing, Bytes(100, 7));
    Doc().Modified = true;

    // Cancel: nothing changes.
    dialogs.SaveChoices = {UserDialogs::SaveChoice{dir / "old", 2}};
    dialogs.Answers = {UserDialogs::Answer::Cancel};
    Main().ButtonSaveAsClick();
    ASSERT_EQ(dialogs.Questions.size(), 1u);
    EXPECT_EQ(dialogs.Questions[0].Text, "This file already exists. Do you want to overwrite it?");
    EXPECT_EQ(dialogs.Questions[0].Caption, "Information");
    EXPECT_EQ(dialogs.Questions[0].Kind, UserDialogs::Icon::Question);
    EXPECT_TRUE(test::ReadWholeFile(existing) == Bytes(100, 7));
    EXPECT_TRUE(Doc().Modified);
    EXPECT_EQ(Doc().SourceFile, source);

    // No: the dialog again, with the completed name; then Yes writes it.
    dialogs.SaveChoices = {UserDialogs::SaveChoice{dir / "old", 2}, UserDialogs::SaveChoice{existing, 1}};
    dialogs.Answers = {UserDialogs::Answer::No, UserDialogs::Answer::Yes};
    Main().ButtonSaveAsClick();
    EXPECT_EQ(dialogs.SaveInitialNames.back(), existing);
    EXPECT_TRUE(test::ReadWholeFile(existing) == WorkFile());
    EXPECT_EQ(Doc().SourceFile, existing);
    EXPECT_FALSE(Doc().Modified);
}

TEST_F(EditSaveTest, AStoppedOrFailedEncodedSaveKeepsTheOldFileAndTheEdits)
{
    // Long enough that the encode is still running when Cancel is pressed.
    const std::string path = SineWave("long.wav", 44100, 2, 44100 * 120);
    const std::string mp3 = dir / "keep.mp3";
    test::WriteWholeFile(mp3, Bytes(50, 1));
    ASSERT_TRUE(Start());
    OpenThroughDialog(path);
    Doc().ProgramFolder = VELMORA_PLUGIN_DIR;
    Doc().Modified = true;

    for (StopBy how : {StopBy::Cancel, StopBy::Escape, StopBy::CloseBox}) {
        const int way = static_cast<int>(how);
        CancelSaveWhen([] { return SaveForm->BodyRunning && SaveForm->ProgressBar1()->value() > 0; }, how);
        dialogs.SaveChoices = {UserDialogs::SaveChoice{mp3, 1}};
        dialogs.Answers = {UserDialogs::Answer::Yes};
        Main().ButtonSaveAsClick();
        EXPECT_LT(SaveForm->ProgressBar1()->value(), 100) << way;
        EXPECT_TRUE(test::ReadWholeFile(mp3) == Bytes(50, 1)) << way;
        EXPECT_FALSE(std::filesystem::exists(dir / "~keep.mp3.tmp")) << way;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))  // a save in parts' files
            EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << way;
        EXPECT_TRUE(Doc().Modified) << way;
        EXPECT_EQ(Doc().SourceFile, path) << way;
        EXPECT_TRUE(dialogs.Messages.empty()) << way;
    }

    // Without the plugin: its message, the dialog up until Cancel, then
    // the same.
    Doc().ProgramFolder = programFolder.Path();
    CancelSaveWhen([this] { return !SaveForm->BodyRunning && !dialogs.Messages.empty(); });
    dialogs.SaveChoices = {UserDialogs::SaveChoice{mp3, 1}};
    dialogs.Answers = {UserDialogs::Answer::Yes};
    Main().ButtonSaveAsClick();
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Could not load lame_enc.dll file"});
    EXPECT_TRUE(test::ReadWholeFile(mp3) == Bytes(50, 1));
    EXPECT_TRUE(Doc().Modified);
    EXPECT_EQ(Doc().SourceFile, path);
    EXPECT_NE(Doc().Stream, 0u);

    // Let run, the save (in parts on two cores or more) decodes to the
    // document's length.
    Doc().ProgramFolder = VELMORA_PLUGIN_DIR;
    dialogs.Messages.clear();
    dialogs.SaveChoices = {UserDialogs::SaveChoice{mp3, 1}};
    dialogs.Answers = {UserDialogs::Answer::Yes};
    Main().ButtonSaveAsClick();
    EXPECT_TRUE(dialogs.Messages.empty());
    EXPECT_EQ(test::DecodeWithFfmpeg(mp3).size(), 44100u * 120 * 2);
}

TEST_F(EditSaveTest, ClosingWithUnsavedEditsAsksFirst)
{
    OpenTagged(2, 16);
    const Bytes original = test::ReadWholeFile(source);

    // No: closed, the opened file untouched.
    C().ButtonFadeOut->click();
    dialogs.Answers = {UserDialogs::Answer::No};
    Main().ButtonCloseClick();
    EXPECT_FALSE(Doc().DocumentOpen);
    EXPECT_TRUE(test::ReadWholeFile(source) == original);

    // Yes: saved, then closed.
    OpenThroughDialog(source);
    C().ButtonFadeOut->click();
    const Bytes edited = WorkFile();
    dialogs.Answers = {UserDialogs::Answer::Yes};
    MainForm->close();
    EXPECT_FALSE(Doc().DocumentOpen);
    EXPECT_TRUE(test::ReadWholeFile(source) == edited);
    EXPECT_EQ(dialogs.Questions.size(), 2u);
}

} // namespace
} // namespace velmora
