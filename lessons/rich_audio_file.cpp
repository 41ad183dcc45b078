#include "lessons/rich_audio_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "framework/ldatetime.h"
#include "framework/lfile.h"
#include "framework/settings.h"
#include "lessons/lesson_files.h"
#include "platform/atomic_file.h"
#include "platform/debug_log.h"
#include "sound/files/mp3_source.h"
#include "sound/files/vok_file.h"
#include "sound/files/wave_file.h"

namespace {

std::string Folder(const std::string& path) {
  std::string out;
  LFile::GetFolderFromPath(out, path);
  return out;
}

std::string WithExt(const std::string& path, const char* ext) {
  std::string out;
  LFile::ApplyNewFileExtension(out, path, ext);
  return out;
}

const char* AudioExt(int type) {
  switch (type) {
    case kAudioTypeMp3:
      return ".mp3";
    case kAudioTypeVok:
      return ".vok";
    default:
      return ".wav";
  }
}

}  // namespace

bool LRichAudioFile::IsNameAvailable(const std::string& folder, const std::string& name) {
  std::string path = folder + name + ".raf";
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return false;
  // A record of the same name in another letter case is the same expression on Windows.
  std::string dir = folder.empty() ? "." : folder;
  for (const std::string& record : lessonfiles::RecordNames(dir)) {
    if (lessonfiles::EqualNoCase(record, name + ".raf")) return false;
  }
  return true;
}

bool LRichAudioFile::New(std::string& outPath, const std::string& folder, const std::string& baseName) {
  std::string clean;
  if (!LFile::GetValidFileName(clean, baseName)) {
    LDebugLog("LRichAudioFile::New File Name Preprocess FAILED");
    return false;
  }
  std::string name = clean;
  int n = 1;
  while (!IsNameAvailable(folder, name)) {
    if (++n >= kMaxNameNumber) return false;
    name = clean.substr(0, 40) + " " + std::to_string(n);
  }
  std::string path = folder + name + ".raf";
  if (path.size() > LFile::kMaxPathChars) return false;  // would be cut to another name
  // The record's existence is what makes the expression: a folder that
  // refuses the write must not pass for a new expression.
  if (!ProfileWriteDateTime(path, "raf", "audioupdate", LDateTime::Now()) || !lessonfiles::FileExists(path)) {
    LDebugLog("LRichAudioFile::New cannot write the record");
    return false;
  }
  ProfileFlush(path);
  outPath = path;
  return true;
}

bool LRichAudioFile::Delete(std::string& path) {
  if (path.empty()) return true;
  ProfileFlush(path);
  std::string folder = Folder(path), stem;
  LFile::GetFileTitleFromPath(stem, path);
  for (const std::string& file : lessonfiles::ExpressionFiles(folder.empty() ? "." : folder, stem)) {
    if (unlink(file.c_str()) != 0) LDebugLog("LRichAudioFile::Delete() Unable to delete file...");
  }
  ProfileFlush(path);
  path.clear();
  return true;
}

void LRichAudioFile::GetAudioFileName(const std::string& path, std::string& out) {
  int type = ProfileReadInt(lessonfiles::ResolveExpressionFile(path), "raf", "audiotype", 0);
  out = WithExt(path, AudioExt(type));
}

bool LRichAudioFile::LoadAudioFile(const std::string& path, int type, const std::string& sourceFile,
                                   LCopyProgress* progress) {
  std::string old;
  GetAudioFileName(path, old);
  old = lessonfiles::ResolveExpressionFile(old);
  if (lessonfiles::SameFile(sourceFile, old)) return true;  // already the expression's audio
  // The old audio and type stay until the new file is complete and in place,
  // so a cancel or failure leaves the expression as it was.
  const std::string target = WithExt(path, AudioExt(type));
  const bool replacesOld = lessonfiles::SameFile(target, old);
  LProcessCopyFile copy(sourceFile, target);
  if ((progress ? copy.Process(*progress) : copy.Process()) != LProcessCopyFile::kDone) return false;
  if (!ProfileWriteInt(path, "raf", "audiotype", type)) {
    if (!replacesOld) unlink(target.c_str());
    return false;
  }
  if (!replacesOld && !lessonfiles::SameFile(old, target)) unlink(old.c_str());
  ProfileWriteDateTime(path, "raf", "audioupdate", LDateTime::Now());
  ProfileFlush(path);
  return true;
}

bool LRichAudioFile::ImportAudioFile(const std::string& path, const std::string& sourceFile, LCopyProgress* progress) {
  std::string ext;
  LFile::GetFileExtFromPath(ext, sourceFile);
  int type;
  if (lessonfiles::EqualNoCase(ext, ".wav"))
    type = kAudioTypeWav;
  else if (lessonfiles::EqualNoCase(ext, ".mp3"))
    type = kAudioTypeMp3;
  else
    return false;
  return LoadAudioFile(path, type, sourceFile, progress);
}

LSoundSourceRef LRichAudioFile::OpenSource(const std::string& path) {
  if (path.empty()) {
    LDebugLog("LRichAudioFile::OpenSource() RAF !IsValid");
    return LSoundSourceRef::Null(kSoundMissingSource);
  }
  int type = ProfileReadInt(lessonfiles::ResolveExpressionFile(path), "raf", "audiotype", 0);
  switch (type) {
    case kAudioTypeWav:
      return LWaveFile::OpenSource(lessonfiles::ResolveExpressionFile(WithExt(path, ".wav")));
    case kAudioTypeMp3:
      return OpenMP3Source(lessonfiles::ResolveExpressionFile(WithExt(path, ".mp3")));
    case kAudioTypeVok:
      return OpenVOKSource(lessonfiles::ResolveExpressionFile(WithExt(path, ".vok")));
    default:
      LDebugLog("LRichAudioFile::OpenSource invalid file type");
      return LSoundSourceRef::Null(kSoundMissingSource);
  }
}

static bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t more;
    if (c < 0x80)
      more = 0;
    else if (c >= 0xC2 && c <= 0xDF)
      more = 1;
    else if ((c & 0xF0) == 0xE0)
      more = 2;
    else if (c >= 0xF0 && c <= 0xF4)
      more = 3;
    else
      return false;
    for (size_t k = 1; k <= more; ++k) {
      if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += more + 1;
  }
  return true;
}

std::string LRichAudioFile::ToUtf8(const std::string& text) {
  if (IsValidUtf8(text)) return text;
  static const uint16_t k80[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                   0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string out;
  for (unsigned char c : text) {
    unsigned code = c >= 0x80 && c < 0xA0 ? k80[c - 0x80] : c;
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

std::optional<std::string> LRichAudioFile::ReadExplanation(const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::string file = lessonfiles::ResolveExpressionFile(WithExt(path, ".scp"));
  if (!lessonfiles::FileExists(file)) return std::nullopt;
  std::string text = LFile::ReadTextFile(file);
  // A read that stopped at its limit may have cut the last UTF-8 character;
  // that must not make the whole text read as Windows-1252.
  if (text.size() == LFile::kMaxTextFileBytes) {
    size_t lead = text.size();
    while (lead > 0 && text.size() - lead < 4 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) --lead;
    if (lead > 0 && static_cast<unsigned char>(text[lead - 1]) >= 0xC0) {
      std::string whole = text.substr(0, lead - 1);
      if (IsValidUtf8(whole)) text = std::move(whole);
    }
  }
  return ToUtf8(text);
}

std::string LRichAudioFile::GetImageFileName(const std::string& path) {
  std::string ext = ProfileReadString(lessonfiles::ResolveExpressionFile(path), "image", "file", ".bmp");
  // The extension comes from a file anyone may have written: one dot, then
  // letters and digits only, so it can never lead out of the lesson's folder.
  bool valid = ext.size() >= 2 && ext[0] == '.';
  for (size_t i = 1; valid && i < ext.size(); ++i) {
    char c = ext[i];
    valid = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  }
  if (!valid) {
    LDebugLog("LRichAudioFile::GetImageFileName ignores the image extension of %s", path.c_str());
    return "";
  }
  return WithExt(path, ext.c_str());
}

bool LRichAudioFile::WriteExplanation(const std::string& path, const std::string& text) {
  if (path.empty()) return false;
  return PlatformReplaceFile(lessonfiles::ResolveExpressionFile(WithExt(path, ".scp")), text);
}
