// The console client's printed lines in the system code page: a stream buffer that gathers the
// program's UTF-8 output line by line and hands each line on converted, so a Chinese console
// (code page 936) shows the names and messages rather than their UTF-8 bytes.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace quorin::client {

class SystemTextOutput : public std::streambuf {
 public:
  // Converts what is written to `stream` until this object goes away.
  explicit SystemTextOutput(std::ostream& stream);
  ~SystemTextOutput() override;
  SystemTextOutput(const SystemTextOutput&) = delete;
  SystemTextOutput& operator=(const SystemTextOutput&) = delete;

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool FlushLine();

  std::ostream& stream_;
  std::streambuf* target_;
  std::string line_;
};

}  // namespace quorin::client
