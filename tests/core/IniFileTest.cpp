// INI files with the semantics of the Windows profile functions.

#include "platform/IniFile.h"
#include "platform/LanguageFile.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

std::string Text(const std::string& path)
{
    const auto bytes = test::ReadWholeFile(path);
    return {bytes.begin(), bytes.end()};
}

void Write(const std::string& path, const std::string& text)
{
    test::WriteWholeFile(path, {text.begin(), text.end()});
}

TEST(IniFile, ReadsLikeTheProfileFunctions)
{
    test::TempDir dir;
    const std::string path = dir / "a.ini";
    Write(path,
          "; comment = no\n"
          "[General]\n"
          "  Language =  English.ini  \n"
          "Ad=0\n"
          "language=second.ini\n"
          "Note=a ; not a comment\n"
          "Quoted=\"  spaced  \"\n"
          "Single='x'\n"
          "Long=" + std::string(5000, 'L') + "\n"
          "   ; indented comment=1\n"
          "[general]\n"
          "Other=from the second section\n"
          "[Menu]\r\n"
          "File=&File\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.ReadString("general", "LANGUAGE", "d"), "English.ini");  // first match, case and blanks ignored
    EXPECT_EQ(ini.ReadString("General", "Ad", "d"), "0");
    EXPECT_EQ(ini.ReadString("General", "Note", "d"), "a ; not a comment");
    EXPECT_EQ(ini.ReadString("General", "Quoted", "d"), "  spaced  ");
    EXPECT_EQ(ini.ReadString("General", "Single", "d"), "x");
    EXPECT_EQ(ini.ReadString("General", "Long", "d"), std::string(5000, 'L'));
    EXPECT_EQ(ini.ReadString("General", "; indented comment", "d"), "d");
    EXPECT_EQ(ini.ReadString("General", "Other", "d"), "d");  // only the first [General] is read
    EXPECT_EQ(ini.ReadString("Menu", "File", "d"), "&File");
    EXPECT_EQ(ini.ReadString("Missing", "File", "d"), "d");
    EXPECT_EQ(ini.ReadString("Menu", "Missing", ""), "");
    EXPECT_EQ(IniFile(dir / "none.ini").ReadString("General", "Language", "dflt"), "dflt");
}

TEST(IniFile, WritingAKeyKeepsEveryOtherLine)
{
    test::TempDir dir;
    const std::string path = dir / "Kelvane.ini";
    Write(path, "; settings\n[General]\nAd=1\nLanguage=Old.ini\n\n[Other]\nx=1\n");
    IniFile ini(path);
    ASSERT_TRUE(ini.WriteString("general", "Language", "Russian.ini"));
    EXPECT_EQ(Text(path), "; settings\n[General]\nAd=1\nLanguage=Russian.ini\n\n[Other]\nx=1\n");
    ASSERT_TRUE(ini.WriteString("Other", "y", "2"));
    EXPECT_EQ(Text(path), "; settings\n[General]\nAd=1\nLanguage=Russian.ini\n\n[Other]\nx=1\ny=2\n");
    ASSERT_TRUE(ini.WriteString("General", "New", "v"));
    EXPECT_EQ(Text(path), "; settings\n[General]\nAd=1\nLanguage=Russian.ini\nNew=v\n\n[Other]\nx=1\ny=2\n");
    EXPECT_EQ(IniFile(path).ReadString("GENERAL", "new", ""), "v");
}

TEST(IniFile, WritingCreatesTheFileOrSectionAndKeepsCrLf)
{
    test::TempDir dir;
    IniFile fresh(dir / "new.ini");
    ASSERT_TRUE(fresh.WriteString("General", "Language", "English.ini"));
    EXPECT_EQ(Text(dir / "new.ini"), "[General]\nLanguage=English.ini\n");

    Write(dir / "crlf.ini", "[A]\r\nk=1\r\n");
    IniFile crlf(dir / "crlf.ini");
    ASSERT_TRUE(crlf.WriteString("B", "k", "2"));
    EXPECT_EQ(Text(dir / "crlf.ini"), "[A]\r\nk=1\r\n[B]\r\nk=2\r\n");

    EXPECT_FALSE(IniFile(dir / "no/such/folder.ini").WriteString("A", "k", "v"));
}

TEST(LanguageFile, ReadsUtf8AndTheCodePageOfItsCharSet)
{
    struct Case {
        const char* Bytes;  // the Name value as stored
        const char* CharSet;
        const char* Name;   // as read
    } cases[] = {
        {"\xEF\xBB\xBF[LanguageProperty]\nName=\xE7\xAE\x80\xE4\xBD\x93", "134", "简体"},  // UTF-8 with a mark
        {"[LanguageProperty]\nName=\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4", "134", "简体中文"},    // GBK
        {"[LanguageProperty]\nName=\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5", "136", "繁體中文"},    // Big5
        {"[LanguageProperty]\nName=\xD0\xF3\xF1\xF1\xEA\xE8\xE9", "204", "Русский"},         // Windows-1251
        {"[LanguageProperty]\nName=\x93\xFA\x96\x7B\x8C\xEA", "128", "日本語"},               // Shift-JIS
        {"[LanguageProperty]\nName=Fran\xE7\x61is", "", "Français"},                         // Windows-1252
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir / "lang.ini";
        Write(path, std::string(c.Bytes) + "\nCharSet=" + c.CharSet + "\n");
        const std::optional<IniFile> language = OpenLanguageFile(path);
        ASSERT_TRUE(language);
        EXPECT_EQ(language->ReadString("LanguageProperty", "Name", ""), c.Name) << c.CharSet;
    }
    EXPECT_FALSE(OpenLanguageFile(dir / "missing.ini"));
}

} // namespace
} // namespace velmora
