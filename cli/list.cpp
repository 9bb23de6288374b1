#include <string>

#include "commands.h"
#include "imaging/utf.h"

namespace pgcli {
namespace {

// The group's resource id or name; "-" for a file whose one icon has neither.
std::string GroupLabel(const pg::IconGroupInfo& info) {
  if (!info.name.empty()) return pg::Utf8FromUtf16(info.name);
  return info.resourceId != 0 ? std::to_string(info.resourceId) : "-";
}

}  // namespace

// The same three tab-separated columns for every kind of file: index,
// resource id or name, and the images as their own headers describe them,
// or "damaged: <reason>" with the verdict compose would reach (an icon is
// damaged when its large or small icon cannot be made).
int List(const fs::path& path, Run& run) {
  auto source = run.sources.Open(path);
  if (!source) return run.report.SourceError(path, source.error());
  const pg::IconSource& s = **source;
  int status = kExitOk;
  std::string out;
  for (int i = 0; i < s.Count(); ++i) {
    const pg::IconGroupInfo info = s.Info(i);
    const pg::Error verdict = s.Check(i);
    // The file itself failed (shortened while it was read): one line for it,
    // not one per icon, and no listing of bytes that were not the file's.
    if (verdict == pg::Error::kFileUnreadable) return run.report.FileError(path, verdict);
    out += std::to_string(i);
    out += '\t';
    out += GroupLabel(info);
    out += '\t';
    if (verdict != pg::Error::kOk) {
      out += "damaged: ";
      out += pg::ErrorText(verdict);
      run.report.Err() << Display(path) << ": icon " << i << ": " << pg::ErrorText(verdict) << "\n";
      status = kExitFailure;
    } else {
      const char* sep = "";
      for (const auto& e : info.entries) {
        out += sep;
        out += std::to_string(e.width);
        out += 'x';
        out += std::to_string(e.height);
        out += ' ';
        out += std::to_string(e.bitsPerPixel);
        out += "bpp";
        sep = ", ";
      }
    }
    out += '\n';
  }
  Write(stdout, out);
  return status;
}

}  // namespace pgcli
