#include "ui/file_dialogs.h"

#include <algorithm>

namespace ombrix {
namespace {

constexpr char16_t kNul = u'\0';

std::string showDialog(FileDialogPlatform& platform, bool save, DialogOwner owner, std::string_view filter,
                       std::string_view title, std::string_view initialDir,
                       std::u16string_view proposedName) {
  for (;;) {
    FileDialogRequest request;
    request.owner = owner;
    request.filterList = convertFilter(toUtf16(filter));
    request.filterList += kNul;
    request.nameBuffer = nameBufferWith(proposedName);
    request.initialDir = toUtf16(initialDir);
    request.title = toUtf16(title);
    request.flags = save ? DialogFlags::kSave : DialogFlags::kOpen;
    const bool confirmed = save ? platform.showSave(request) : platform.showOpen(request);
    if (confirmed || !request.tooLong) {
      return confirmed ? toUtf8(resultFromNameBuffer(request.nameBuffer)) : std::string();
    }
    platform.sayPathTooLong(owner, request.title);
  }
}

}  // namespace

std::u16string convertFilter(std::u16string_view Filter) {
  std::u16string list(Filter);
  if (list.empty() || list.back() != u'|') {
    list += u'|';
  }
  std::replace(list.begin(), list.end(), u'|', kNul);
  return list;
}

std::u16string nameBufferWith(std::u16string_view proposedName) {
  std::size_t length = std::min<std::size_t>(proposedName.size(), kNameBufferLength);
  if (length < proposedName.size() && length > 0 && isHighSurrogate(proposedName[length - 1])) {
    --length;  // the character would be cut in two
  }
  std::u16string buffer(proposedName.substr(0, length));
  if (buffer.size() < kNameBufferLength) {
    buffer += kNul;
  }
  buffer.resize(kNameBufferLength, u' ');
  return buffer;
}

std::u16string resultFromNameBuffer(std::u16string_view nameBuffer) {
  std::u16string_view text = nameBuffer.substr(0, nameBuffer.find(kNul));
  const std::size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) {
    return {};
  }
  text = text.substr(first, text.find_last_not_of(u' ') - first + 1);
  return std::u16string(text);
}

std::u16string proposedName(const FileDialogRequest& request) {
  return resultFromNameBuffer(request.nameBuffer);
}

bool writeChoice(FileDialogRequest& request, std::u16string_view chosen) {
  if (chosen.size() > kNameBufferLength) {
    return false;
  }
  request.nameBuffer.resize(kNameBufferLength, u' ');
  request.nameBuffer.replace(0, chosen.size(), chosen);
  if (chosen.size() < kNameBufferLength) {
    request.nameBuffer[chosen.size()] = kNul;
  }
  return true;
}

std::string OpenDialog(FileDialogPlatform& platform, DialogOwner Form1, std::string_view Filter,
                       std::string_view Title, std::string_view InitDir) {
  // An empty proposal puts the NUL first, so the name box starts empty rather than full of spaces.
  return showDialog(platform, false, Form1, Filter, Title, InitDir, u"");
}

std::string SaveDialog(FileDialogPlatform& platform, DialogOwner Form1, std::string_view Filter,
                       std::string_view Title, std::string_view InitDir, std::string_view DefaultFilename) {
  return showDialog(platform, true, Form1, Filter, Title, InitDir, toUtf16(DefaultFilename));
}

}  // namespace ombrix
