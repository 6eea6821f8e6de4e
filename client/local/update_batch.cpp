#include "client/local/update_batch.h"

#include "common/text_tools.h"
#include "platform/stdio_file.h"
#include "platform/system_text.h"

namespace quorin::client {
namespace {

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted += text;
  quoted += '"';
  return quoted;
}

}  // namespace

std::string PathBelow(std::string_view folder, std::string_view name, char separator) {
  std::string path(folder);
  path += separator;
  path += ReplaceChar(name, '/', separator);
  return path;
}

std::string UpdateBatchText(const UpdateBatchPaths& paths, const std::vector<std::string>& names) {
  // Text mode on Windows turns each line feed into CR LF; the lines are written with both here
  // so that the file is the same whatever wrote it.
  constexpr std::string_view kLineEnd = "\r\n";
  std::string text = Quoted(paths.programDirectory + "\\" + std::string(kHoldOnProgram)) + " " +
                     Quoted(paths.batchPath) + std::string(kLineEnd);
  for (const std::string& name : names) {
    const std::string downloaded = PathBelow(paths.temporaryDirectory, name);
    text += "copy " + Quoted(downloaded) + " " + Quoted(PathBelow(paths.programDirectory, name)) +
            std::string(kLineEnd);
    text += "del " + Quoted(downloaded) + std::string(kLineEnd);
  }
  text += Quoted(paths.programPath) + " " + Quoted(paths.batchPath) + std::string(kLineEnd);
  return text;
}

EncodedUpdateBatch EncodeUpdateBatch(const UpdateBatchPaths& paths,
                                     const std::vector<std::string>& names,
                                     const BatchTextEncoder& encode) {
  const BatchTextEncoder& toBatch = encode ? encode : BatchTextEncoder(platform::OemTextFromUtf8);
  EncodedUpdateBatch batch;
  // The folders first: a user's temporary folder is where this fails in practice.
  std::vector<std::string_view> parts = {paths.temporaryDirectory, paths.programDirectory,
                                         paths.programPath, paths.batchPath};
  parts.insert(parts.end(), names.begin(), names.end());
  for (const std::string_view part : parts) {
    if (!toBatch(part)) {
      batch.unwritable = part;
      return batch;
    }
  }
  std::optional<std::string> bytes = toBatch(UpdateBatchText(paths, names));
  if (!bytes) {
    // Code pages write each character on its own, so once every part fits the whole text
    // does; should one ever disagree, the batch is still refused rather than written wrong.
    batch.unwritable = paths.batchPath;
    return batch;
  }
  batch.bytes = std::move(*bytes);
  return batch;
}

bool WriteUpdateBatch(const std::string& batchPath, std::string_view bytes) {
  platform::StdioFile file = platform::OpenStdioFile(batchPath, "wb");
  if (!file)
    return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  return std::fclose(file.release()) == 0 && written;
}

}  // namespace quorin::client
