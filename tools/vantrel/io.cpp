#include "io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <nlohmann/json.hpp>
#include <utility>

namespace vantrel_cli {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string Reason() { return std::strerror(errno); }

}  // namespace

Input::Input(const std::string& path)
    : label_(path == "-" ? "standard input" : path) {
  if (path == "-") {
    in_ = &std::cin;
  } else {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      throw InputError(path + " is a directory, not a file");
    }
    file_.open(path, std::ios::binary);
    if (!file_) throw InputError("cannot open " + path + ": " + Reason());
    in_ = &file_;
  }
  // A byte-order mark is skipped; the start of anything else is kept.
  while (pending_.size() < kBom.size() &&
         in_->peek() == static_cast<unsigned char>(kBom[pending_.size()])) {
    pending_ += static_cast<char>(in_->get());
  }
  if (pending_ == kBom) pending_.clear();
}

std::string Input::ReadAll() {
  std::string text = std::move(pending_);
  std::array<char, 1 << 16> chunk{};
  while (in_->read(chunk.data(), chunk.size()) || in_->gcount() > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(in_->gcount()));
  }
  if (in_->bad()) throw InputError("cannot read " + label_ + ": " + Reason());
  return text;
}

bool Input::NextLine(std::string& line) {
  if (!std::getline(*in_, line)) {
    if (!pending_.empty()) {
      line = std::move(pending_);
      pending_.clear();
      return true;
    }
    if (in_->bad()) throw InputError("cannot read " + label_ + ": " + Reason());
    return false;
  }
  if (!pending_.empty()) line.insert(0, pending_);
  pending_.clear();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

Output::Output(const std::string& path) : path_(path) {
  if (path.empty() || path == "-") {
    path_.clear();
    return;
  }
  const std::size_t slash = path.rfind('/');
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  temp_ = path.substr(0, name) + "." + path.substr(name) + ".vantrel-XXXXXX";
  fd_ = mkstemp(temp_.data());
  if (fd_ < 0) throw InputError("cannot write " + path + ": " + Reason());
  // The new file gets the mode of the one it replaces, or the usual one.
  struct stat info {};
  mode_t mode = 0;
  if (stat(path.c_str(), &info) == 0) {
    mode = info.st_mode & 07777U;
  } else {
    const mode_t mask = umask(0);
    static_cast<void>(umask(mask));
    mode = 0666U & ~mask;
  }
  if (fchmod(fd_, mode) != 0) {
    const std::string reason = Reason();
    Discard();
    throw InputError("cannot write " + path + ": " + reason);
  }
}

Output::~Output() { Discard(); }

void Output::Discard() noexcept {
  if (fd_ == STDOUT_FILENO) return;
  static_cast<void>(close(fd_));
  static_cast<void>(unlink(temp_.c_str()));
  fd_ = STDOUT_FILENO;
}

void Output::Write(std::string_view bytes) {
  buffer_.append(bytes);
  if (buffer_.size() >= (1U << 16)) Flush();
}

void Output::Flush() {
  std::string_view rest = buffer_;
  while (!rest.empty()) {
    const ssize_t wrote = write(fd_, rest.data(), rest.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      throw InputError("cannot write " +
                       (path_.empty() ? "the output" : path_) + ": " +
                       Reason());
    }
    rest.remove_prefix(static_cast<std::size_t>(wrote));
  }
  buffer_.clear();
}

void Output::Commit() {
  Flush();
  if (fd_ == STDOUT_FILENO) return;
  if (fsync(fd_) != 0 || close(fd_) != 0 ||
      std::rename(temp_.c_str(), path_.c_str()) != 0) {
    const std::string reason = Reason();
    static_cast<void>(unlink(temp_.c_str()));
    fd_ = STDOUT_FILENO;
    throw InputError("cannot write " + path_ + ": " + reason);
  }
  fd_ = STDOUT_FILENO;
}

std::string Quote(std::string_view bytes) {
  return nlohmann::json(std::string(bytes))
      .dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

std::string Excerpt(std::string_view bytes) {
  if (bytes.size() <= kExcerptBytes) return Quote(bytes);
  return Quote(bytes.substr(0, kExcerptBytes)) + "... (" +
         std::to_string(bytes.size()) + " bytes)";
}

std::string_view Around(std::string_view bytes, std::size_t at) {
  constexpr std::size_t kBefore = 16;
  const std::size_t from = at > kBefore ? at - kBefore : 0;
  return from < bytes.size() ? bytes.substr(from, kExcerptBytes)
                             : std::string_view();
}

}  // namespace vantrel_cli
