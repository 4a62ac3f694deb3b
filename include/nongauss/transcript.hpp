#pragma once

// The transcript: the progress lines the tool writes to standard error while
// it works ("number of input data: ...", "Resamping with ...", "scale: ...",
// "WITHOUT detrending", "square of lambda = ...", ...). The library hands
// every piece of it, byte for byte, to a sink the caller chooses; it never
// writes to a stream itself. Errors are not part of the transcript: they are
// thrown (nongauss::Error) and the caller decides how to show them.

#include <string>
#include <string_view>

namespace nongauss {

class Transcript {
public:
    virtual ~Transcript() = default;
    /// One piece of the transcript: one or more whole lines, each ending in
    /// "\n", exactly as the tool writes them. Called on the thread that called
    /// the library function, never from a worker thread, in transcript order.
    /// An exception thrown here leaves the library call that made it.
    virtual void write(std::string_view text) = 0;
};

/// Discards everything (the default sink of every library call).
class DiscardTranscript final : public Transcript {
public:
    void write(std::string_view) override {}
};

/// Collects the transcript in a string.
class StringTranscript final : public Transcript {
public:
    void write(std::string_view text) override { text_.append(text); }
    const std::string& text() const noexcept { return text_; }
    void clear() noexcept { text_.clear(); }

private:
    std::string text_;
};

}  // namespace nongauss
