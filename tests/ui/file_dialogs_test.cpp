#include "ui/file_dialogs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui_fakes.h"

namespace ombrix {
namespace {

std::u16string nul(std::u16string visible) {
  std::replace(visible.begin(), visible.end(), u'|', u'\0');
  return visible;
}

TEST(FileDialogLogic, ResultIsTheBufferUpToItsNulWithoutSpaces) {
  EXPECT_EQ(resultFromNameBuffer(nul(u"  /a b.ini  |rest of an older name")), u"/a b.ini");
  EXPECT_EQ(resultFromNameBuffer(u"\t/x.ini "), u"\t/x.ini");
  EXPECT_EQ(resultFromNameBuffer(u"   "), u"");
}

TEST(FileDialogLogic, SaveDialogProposesTheNameAndReturnsOnlyTheChoice) {
  test::ScriptedDialogs dialogs;
  const std::string proposed = "C:\\Games\\Ombrix\\Ombrix.ini";
  dialogs.answers = {"C:\\x.ini", std::nullopt, proposed};
  for (const std::string expected : {"C:\\x.ini", "", proposed.c_str()}) {
    EXPECT_EQ(SaveDialog(dialogs, nullptr, "F|*.ini", "T", proposed, proposed), expected);
  }
  const FileDialogRequest& request = dialogs.saves[0];
  // The name ends in a NUL, so the dialog shows it without the spaces that fill the buffer.
  EXPECT_EQ(request.nameBuffer, toUtf16(proposed) + u'\0' + std::u16string(kNameBufferLength - 27, u' '));
  EXPECT_EQ(request.filterList, nul(u"F|*.ini||"));
  EXPECT_EQ(convertFilter(u""), nul(u"|"));
  EXPECT_EQ(request.flags, 8198u);
  EXPECT_EQ(request.filterIndex, 0);
  EXPECT_EQ(request.title, u"T");
}

TEST(FileDialogLogic, OpenStartsEmptyAndLongNamesAreCutBetweenCharacters) {
  test::ScriptedDialogs dialogs;
  EXPECT_EQ(OpenDialog(dialogs, nullptr, {}, {}, {}), "");
  EXPECT_EQ(dialogs.opens[0].nameBuffer, u'\0' + std::u16string(kNameBufferLength - 1, u' '));
  EXPECT_EQ(dialogs.opens[0].flags, 4100u);

  SaveDialog(dialogs, nullptr, {}, {}, {}, std::string(300, 'n'));
  EXPECT_EQ(dialogs.saves[0].nameBuffer, std::u16string(kNameBufferLength, u'n'));
  // 253 letters and a character of two UTF-16 units: the character does not fit and is left out whole.
  SaveDialog(dialogs, nullptr, {}, {}, {}, std::string(253, 'n') + "\xF0\x9F\x8E\xAE");
  EXPECT_EQ(dialogs.saves[1].nameBuffer, std::u16string(253, u'n') + u'\0');

  // A choice of the full length comes back whole; a longer one is refused with a message and the dialog
  // opens again.
  dialogs.answers = {std::string(kNameBufferLength, 'c'), std::string(kNameBufferLength + 1, 'c'), "short"};
  EXPECT_EQ(OpenDialog(dialogs, nullptr, {}, {}, {}), std::string(kNameBufferLength, 'c'));
  EXPECT_EQ(OpenDialog(dialogs, nullptr, {}, {}, {}), "short");
  EXPECT_EQ(dialogs.toldTooLong, 1);
}

TEST(FileDialogLogic, PathsInAnyScriptSurviveTheRoundTrip) {
  const std::string names[] = {"C:\\Spiele\\Liste für Ömer.ini", "/игры/список.ini", "/遊戯/🎮.ini"};
  for (const std::string& name : names) {
    EXPECT_EQ(toUtf8(toUtf16(name)), name);
    test::ScriptedDialogs dialogs;
    dialogs.answers = {name};
    EXPECT_EQ(SaveDialog(dialogs, nullptr, "F|*.ini", "T", name, name), name);
  }
  // Bytes that are no part of a character are replaced one by one, never read past or dropped.
  const std::pair<std::string, std::u16string> strays[] = {
      {"a\xFF"
       "b",
       u"a\uFFFDb"},
      {"a\xE2\x82", u"a\uFFFD\uFFFD"},          // cut off at the end
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
      {"\xC0\xAF", u"\uFFFD\uFFFD"},            // an overlong form
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},  // an overlong form of three bytes
  };
  for (const auto& [bytes, expected] : strays) {
    EXPECT_EQ(toUtf16(bytes), expected);
  }
  EXPECT_EQ(toUtf8(u"\xD800x"), "\xEF\xBF\xBDx") << "a lone surrogate is replaced";
  // The command line's console text: UTF-8 paths among the lists' Windows-1252 names and values.
  EXPECT_EQ(mixedTextToUtf16("P\xC3\xA9" "ch\xE9 \x80\x81\x9F\xE2\x82"),
            u"P\u00E9ch\u00E9 \u20AC\u0081\u0178\u00E2\u201A");
}

}  // namespace
}  // namespace ombrix
