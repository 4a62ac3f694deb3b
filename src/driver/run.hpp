#pragma once

// One whole run of the tool, from the command line to the exit status.

#include <cstdio>
#include <string_view>

#include "driver/options.hpp"
#include "nongauss/series.hpp"
#include "nongauss/thread_pool.hpp"
#include "nongauss/transcript.hpp"

namespace nongauss {

/// The tool's transcript: every piece goes to a stream (standard error) as it
/// comes, byte for byte.
class StreamTranscript final : public Transcript {
public:
    explicit StreamTranscript(std::FILE* stream) : stream_(stream) {}
    void write(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stream_); }

private:
    std::FILE* stream_;
};

/// Parses the command line, reads the input and analyses it; returns the exit
/// status (0: completed; 1: usage error, unreadable or unusable input, an
/// output file that cannot be created or written, an error of the analysis,
/// whose report goes to standard error).
int run_command_line(int argc, char** argv, ThreadPool& pool);

/// Everything after the reader: analyses the series, writes the TS file,
/// the PDF file and the summary, on the threads of `pool`. Returns the exit status; the library's
/// errors (nongauss::Error) leave through it.
int analyse_series(const Settings& settings, const Names& names, const Series& series,
                   Transcript& transcript, ThreadPool& pool);

}  // namespace nongauss
