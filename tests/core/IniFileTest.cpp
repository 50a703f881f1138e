// INI files with the semantics of the Windows profile functions.

#include "platform/IniFile.h"
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

} // namespace
} // namespace velmora
