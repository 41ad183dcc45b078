// orativo-lesson: works on the lesson store from the command line.
//
//   new NAME [--folder DIR] [--mode all|repeat]   make an empty lesson
//   list [--folder DIR]              the lessons of a folder
//   show LESSON                      expressions in order, with audio, picture and explanation
//   add LESSON AUDIO [--name N] [--image FILE] [--text FILE]
//   import LESSON FOLDER             one expression per audio file, in name order
//   check LESSON                     every expression's audio opens and decodes
//
// LESSON is a lesson file, a lesson folder, or a lesson name in the lessons
// folder. Input is checked before anything is written, so bad input changes
// nothing.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "framework/lfile.h"
#include "framework/settings.h"
#include "lessons/expression_order.h"
#include "lessons/expression_page.h"
#include "lessons/lesson.h"
#include "lessons/rich_audio_file.h"
#include "sound/files/audio_file_open.h"

namespace fs = std::filesystem;

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: orativo-lesson new NAME [--folder DIR] [--mode all|repeat]\n"
               "       orativo-lesson list [--folder DIR]\n"
               "       orativo-lesson show LESSON\n"
               "       orativo-lesson add LESSON AUDIO [--name NAME] [--image FILE] [--text FILE]\n"
               "       orativo-lesson import LESSON FOLDER\n"
               "       orativo-lesson check LESSON\n"
               "LESSON is a lesson file (.ini), a lesson folder, or a lesson name in the lessons folder.\n");
  return 2;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "orativo-lesson: %s\n", message.c_str());
  return 1;
}

std::string Lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Extension(const std::string& path) {
  std::string ext;
  LFile::GetFileExtFromPath(ext, path);
  return Lower(ext);
}

std::string Title(const std::string& path) {
  std::string title;
  LFile::GetFileTitleFromPath(title, path);
  return title;
}

// Arguments after the command: positional words and --option values.
struct Arguments {
  std::vector<std::string> words;
  std::map<std::string, std::string> options;
};

bool ParseArguments(int argc, char** argv, int first, Arguments& out) {
  for (int i = first; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--", 0) == 0) {
      if (i + 1 >= argc) return false;
      out.options[a.substr(2)] = argv[++i];
    } else {
      out.words.push_back(a);
    }
  }
  return true;
}

// A lesson file, lesson folder or lesson name to the lesson path; "" when there is no such lesson.
std::string FindLessonPath(const std::string& given) {
  std::error_code ec;
  fs::path p(given);
  if (fs::is_regular_file(p, ec) && Lower(p.extension().string()) == ".ini") return fs::absolute(p, ec).string();
  if (fs::is_directory(p, ec)) {
    fs::path folder = fs::absolute(p, ec).lexically_normal();
    if (!folder.has_filename()) folder = folder.parent_path();
    std::string path = LLesson::GetLessonPath(folder.parent_path().string(), folder.filename().string());
    std::string found = LLesson::ResolveLessonFile(path);
    return fs::exists(found, ec) ? found : std::string();
  }
  if (given.find('/') != std::string::npos) return {};
  const std::string lessons = LLesson::GetLessonsFolder(true);
  std::string name = LLesson::FindLesson(lessons, given);
  if (name.empty()) return {};
  std::string found = LLesson::ResolveLessonFile(LLesson::GetLessonPath(lessons, name));
  return fs::exists(found, ec) ? found : std::string();
}

// The lesson's folder with its separator, as record paths are built from it.
std::string FolderOf(const std::string& path) {
  std::string folder;
  LFile::GetFolderFromPath(folder, path);
  return folder + LFile::kSeparator;
}

using Expression = LExpressionEntry;

// The windows' order: by `order`, the same on every machine.
std::vector<Expression> OrderedExpressions(const std::string& lessonPath) { return ListExpressionsInOrder(lessonPath); }

// The first line of an explanation without its markup, for a one-line listing.
std::string PlainLine(const std::string& markup) {
  std::string text;
  bool inTag = false;
  for (char c : markup.substr(0, markup.find_first_of("\r\n"))) {
    if (c == '<') inTag = true;
    if (!inTag) text += c;
    if (c == '>') inTag = false;
  }
  return text;
}

const char* TypeName(int type) {
  switch (type) {
    case kAudioTypeMp3:
      return "MP3";
    case kAudioTypeVok:
      return "VOK";
    default:
      return "WAV";
  }
}

// Decodes the whole source; empty when it is sound, else the reason.
std::string DecodeProblem(LSoundSourceRef source, int* lengthMs) {
  static const char* const kErrors[] = {"",
                                        "no source could be made for it",
                                        "its contents are damaged",
                                        "it is not a usable audio file",
                                        "the file cannot be opened",
                                        "no codec can decode its audio format"};
  auto reason = [&]() -> std::string {
    uint8_t e = source->error;
    return e < 6 ? kErrors[e] : "it cannot be decoded";
  };
  if (!source.IsUsable()) return reason();
  const int length = source->GetLength();
  if (length <= 0) return "it holds no audio";
  std::vector<int32_t> block(size_t(8192) * source->channels);
  int done = 0;
  while (done < length) {
    int frames = std::min(8192, length - done);
    source->Read(block.data(), frames);
    if (!source.IsUsable()) return reason();
    done += frames;
  }
  if (lengthMs) *lengthMs = LSoundTime::FramesToMs(length, source->sampleRate);
  return {};
}

// A WAV whose data chunk claims more than the file holds was cut off in a
// copy; its reader would play the missing part as silence.
bool WavIsCutShort(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  unsigned char head[12];
  bool cut = false;
  if (std::fread(head, 1, 12, f) == 12 && std::memcmp(head, "RIFF", 4) == 0) {
    std::fseek(f, 0, SEEK_END);
    const long long size = std::ftell(f);
    long long at = 12;
    unsigned char chunk[8];
    while (std::fseek(f, long(at), SEEK_SET) == 0 && std::fread(chunk, 1, 8, f) == 8) {
      const long long length = chunk[4] | chunk[5] << 8 | chunk[6] << 16 | (long long)chunk[7] << 24;
      if (std::memcmp(chunk, "data", 4) == 0) {
        // Streaming writers leave 0 or 0xFFFFFFFF: the data then runs to the end.
        cut = length != 0 && length != 0xFFFFFFFFLL && at + 8 + length > size;
        break;
      }
      at += 8 + length + (length & 1);
    }
  }
  std::fclose(f);
  return cut;
}

std::string CheckAudioFile(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return "the file does not exist";
  const std::string ext = Extension(path);
  if (ext != ".wav" && ext != ".mp3" && ext != ".vok") return "only WAV, MP3 and VOK files can be used";
  if (ext == ".wav" && WavIsCutShort(path)) return "its audio is cut short";
  return DecodeProblem(OpenAudioFileSource(path), nullptr);
}

bool IsImageExtension(const std::string& ext) {
  static const char* const kTypes[] = {".bmp", ".gif", ".jpg", ".jpeg", ".png"};
  return std::any_of(std::begin(kTypes), std::end(kTypes), [&](const char* t) { return ext == t; });
}

std::string ReadWholeFile(const std::string& path, bool* ok) {
  std::string text;
  *ok = false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return text;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  *ok = !std::ferror(f);
  std::fclose(f);
  return text;
}

int NextOrder(const std::string& lessonPath) {
  int next = 0;
  for (const Expression& e : OrderedExpressions(lessonPath)) next = std::max(next, e.order + 1);
  return next;
}

// One expression to be added, checked before anything is written.
struct NewExpression {
  std::string name;  // cleaned
  std::string audio;
  std::string image;
  std::string text;
  bool hasText = false;
};

std::string Prepare(const std::string& lessonPath, NewExpression& e) {
  std::string clean;
  if (!LFile::GetValidFileName(clean, e.name)) return "\"" + e.name + "\" cannot be used as an expression name";
  e.name = clean;
  if (LLesson::ExpressionExists(lessonPath, e.name)) return "the lesson already has an expression \"" + e.name + "\"";
  std::string problem = CheckAudioFile(e.audio);
  if (!problem.empty()) return e.audio + ": " + problem;
  std::error_code ec;
  if (!e.image.empty()) {
    if (!fs::is_regular_file(e.image, ec)) return e.image + ": the picture does not exist";
    if (!IsImageExtension(Extension(e.image))) return e.image + ": pictures must be BMP, GIF, JPEG or PNG files";
  }
  return {};
}

bool Write(const std::string& lessonPath, const NewExpression& e, int order) {
  std::string record;
  if (!LRichAudioFile::New(record, FolderOf(lessonPath), e.name)) return false;
  const std::string ext = Extension(e.audio);
  bool ok = ext == ".vok" ? LRichAudioFile::LoadAudioFile(record, kAudioTypeVok, e.audio, nullptr)
                          : LRichAudioFile::ImportAudioFile(record, e.audio, nullptr);
  ProfileWriteInt(record, "expression", "order", order);
  if (ok && !e.image.empty()) {
    std::string target;
    LFile::ApplyNewFileExtension(target, record, Extension(e.image));
    std::error_code ec;
    ok = fs::copy_file(e.image, target, fs::copy_options::overwrite_existing, ec);
    if (ok) ProfileWriteString(record, "image", "file", Extension(e.image));
  }
  if (ok && e.hasText) ok = LRichAudioFile::WriteExplanation(record, LRichAudioFile::ToUtf8(e.text));
  if (!ok) {
    LRichAudioFile::Delete(record);
    return false;
  }
  std::string page;
  LFile::ApplyNewFileExtension(page, record, ".htm");
  WriteExpressionPage(record, page, false);
  return true;
}

int CmdNew(const Arguments& a) {
  if (a.words.size() != 1) return Usage();
  int mode = 0;
  if (a.options.count("mode")) {
    const std::string& m = a.options.at("mode");
    if (m != "all" && m != "repeat") return Usage();
    mode = m == "repeat" ? 1 : 0;
  }
  auto it = a.options.find("folder");
  const std::string folder = it != a.options.end() ? it->second : LLesson::GetLessonsFolder(true);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return Fail("the folder " + folder + " does not exist");
  std::string clean;
  if (!LFile::GetValidFileName(clean, a.words[0])) return Fail("\"" + a.words[0] + "\" cannot be a lesson name");
  if (!LLesson::FindLesson(folder, clean).empty()) return Fail("a lesson \"" + clean + "\" already exists");
  std::string path;
  if (!LLesson::CreateLesson(folder, clean, path) || !fs::exists(path, ec))
    return Fail("the lesson \"" + clean + "\" could not be made in " + folder);
  if (mode) ProfileWriteInt(path, "study", "mode", mode);
  std::printf("%s\n", path.c_str());
  return 0;
}

int CmdList(const Arguments& a) {
  if (!a.words.empty()) return Usage();
  auto it = a.options.find("folder");
  const std::string folder = it != a.options.end() ? it->second : LLesson::GetLessonsFolder(true);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return Fail("the folder " + folder + " does not exist");
  std::vector<std::string> names = LLesson::ListLessons(folder);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) std::printf("%s\n", n.c_str());
  return 0;
}

int CmdShow(const Arguments& a) {
  if (a.words.size() != 1 || !a.options.empty()) return Usage();
  const std::string lesson = FindLessonPath(a.words[0]);
  if (lesson.empty()) return Fail("no lesson \"" + a.words[0] + "\"");
  std::printf("Lesson: %s\n", Title(lesson).c_str());
  for (const Expression& e : OrderedExpressions(lesson)) {
    std::string audio;
    LRichAudioFile::GetAudioFileName(e.record, audio);
    const int type = ProfileReadInt(e.record, "raf", "audiotype", 0);
    int ms = 0;
    std::string problem = DecodeProblem(LRichAudioFile::OpenSource(e.record), &ms);
    std::string length = problem.empty() ? LSoundTime(ms).GetTextHundredths() : "no audio";
    std::string picture;
    LFile::ApplyNewFileExtension(picture, e.record, ProfileReadString(e.record, "image", "file", ".bmp"));
    std::error_code ec;
    std::string explanation = PlainLine(LRichAudioFile::ReadExplanation(e.record).value_or(""));
    if (explanation.size() > 60) {
      LFile::TruncateUtf8(explanation, 57);
      explanation += "...";
    }
    std::printf("%4d  %-24s %s %s%s%s\n", e.order, e.name.c_str(), TypeName(type), length.c_str(),
                fs::exists(picture, ec) ? "  picture" : "",
                explanation.empty() ? "" : ("  \"" + explanation + "\"").c_str());
  }
  return 0;
}

int CmdAdd(const Arguments& a) {
  if (a.words.size() != 2) return Usage();
  for (const auto& [key, value] : a.options)
    if (key != "name" && key != "image" && key != "text") return Usage();
  const std::string lesson = FindLessonPath(a.words[0]);
  if (lesson.empty()) return Fail("no lesson \"" + a.words[0] + "\"");
  NewExpression e;
  e.audio = a.words[1];
  e.name = a.options.count("name") ? a.options.at("name") : Title(e.audio);
  if (a.options.count("image")) e.image = a.options.at("image");
  if (a.options.count("text")) {
    e.text = ReadWholeFile(a.options.at("text"), &e.hasText);
    if (!e.hasText) return Fail(a.options.at("text") + ": the explanation cannot be read");
  }
  std::string problem = Prepare(lesson, e);
  if (!problem.empty()) return Fail(problem);
  if (!Write(lesson, e, NextOrder(lesson))) return Fail("the expression \"" + e.name + "\" could not be written");
  std::printf("%s\n", e.name.c_str());
  return 0;
}

int CmdImport(const Arguments& a) {
  if (a.words.size() != 2 || !a.options.empty()) return Usage();
  const std::string lesson = FindLessonPath(a.words[0]);
  if (lesson.empty()) return Fail("no lesson \"" + a.words[0] + "\"");
  std::error_code ec;
  if (!fs::is_directory(a.words[1], ec)) return Fail("the folder " + a.words[1] + " does not exist");
  // Everything in the folder by base name, so pictures and explanations find their audio.
  // Name order regardless of letter case, as a file manager shows them.
  auto nameOrder = [](const std::string& x, const std::string& y) {
    const std::string lx = Lower(x), ly = Lower(y);
    return lx != ly ? lx < ly : x < y;
  };
  std::map<std::string, std::vector<fs::path>, decltype(nameOrder)> byTitle(nameOrder);
  for (const auto& entry : fs::directory_iterator(a.words[1], ec))
    if (entry.is_regular_file(ec)) byTitle[entry.path().stem().string()].push_back(entry.path());
  std::vector<NewExpression> items;
  std::vector<std::string> problems;
  for (const auto& [title, files] : byTitle) {
    NewExpression e;
    std::string text, twice;
    for (const fs::path& f : files) {
      const std::string ext = Lower(f.extension().string());
      std::string* slot = ext == ".wav" || ext == ".mp3" || ext == ".vok" ? &e.audio
                          : IsImageExtension(ext)                         ? &e.image
                          : ext == ".txt" || ext == ".scp"                ? &text
                                                                          : nullptr;
      if (!slot) continue;
      if (!slot->empty()) twice = f.string();
      *slot = f.string();
    }
    if (e.audio.empty()) continue;
    e.name = title;
    std::string problem = twice.empty() ? Prepare(lesson, e) : twice + ": two files of one kind for " + title;
    if (problem.empty() && !text.empty()) {
      e.text = ReadWholeFile(text, &e.hasText);
      if (!e.hasText) problem = text + ": the explanation cannot be read";
    }
    for (const NewExpression& earlier : items)
      if (problem.empty() && Lower(earlier.name) == Lower(e.name)) problem = "two files make the name " + e.name;
    if (problem.empty())
      items.push_back(e);
    else
      problems.push_back(problem);
  }
  if (!problems.empty()) {
    for (const std::string& p : problems) std::fprintf(stderr, "orativo-lesson: %s\n", p.c_str());
    return Fail("nothing was imported");
  }
  if (items.empty()) return Fail("the folder holds no WAV, MP3 or VOK files");
  int order = NextOrder(lesson);
  std::vector<std::string> written;
  for (const NewExpression& e : items) {
    if (!Write(lesson, e, order++)) {
      // All or nothing: what this import added goes again.
      for (std::string& record : written) LRichAudioFile::Delete(record);
      return Fail("the expression \"" + e.name + "\" could not be written; nothing was imported");
    }
    written.push_back(FolderOf(lesson) + e.name + ".raf");
  }
  for (const NewExpression& e : items) std::printf("%s\n", e.name.c_str());
  return 0;
}

int CmdCheck(const Arguments& a) {
  if (a.words.size() != 1 || !a.options.empty()) return Usage();
  const std::string lesson = FindLessonPath(a.words[0]);
  if (lesson.empty()) return Fail("no lesson \"" + a.words[0] + "\"");
  int bad = 0;
  const std::vector<Expression> list = OrderedExpressions(lesson);
  for (const Expression& e : list) {
    std::string audio;
    LRichAudioFile::GetAudioFileName(e.record, audio);
    std::error_code ec;
    std::string problem = !fs::exists(audio, ec) ? "its audio file " + Title(audio) + Extension(audio) + " is missing"
                          : Extension(audio) == ".wav" && WavIsCutShort(audio)
                              ? "its audio is cut short"
                              : DecodeProblem(LRichAudioFile::OpenSource(e.record), nullptr);
    if (!problem.empty()) {
      std::printf("%s: %s\n", e.name.c_str(), problem.c_str());
      ++bad;
    }
  }
  if (bad) return Fail(std::to_string(bad) + " of " + std::to_string(list.size()) + " expressions have a problem");
  std::printf("%zu expressions, all well\n", list.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  Arguments a;
  if (!ParseArguments(argc, argv, 2, a)) return Usage();
  if (command == "new") return CmdNew(a);
  if (command == "list") return CmdList(a);
  if (command == "show") return CmdShow(a);
  if (command == "add") return CmdAdd(a);
  if (command == "import") return CmdImport(a);
  if (command == "check") return CmdCheck(a);
  return Usage();
}
