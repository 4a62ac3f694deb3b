// nongauss-write: the project's output-file writer for the shell companions
// (nongauss-cohort's table and failure log, nongauss-plot's pictures), so
// that their files are made under the same rules as the C++ programs'. An
// internal helper, installed under libexec, not on the user's PATH.
//
//   nongauss-write [--input FILE]... DEST SOURCE [DEST SOURCE]...
//
// Copies each SOURCE (a file; "-" is standard input) to a temporary file
// beside its DEST, then puts all the DESTs in place together, in the order
// given (see commit_together in nongauss/output_file.hpp): a link at a DEST
// is replaced, never written through; files of two calls never stand side by
// side. A DEST that is one of the --input files or one of the SOURCEs (the
// same file, whatever path or link) is refused before anything is written.
// Any failure: a message "nongauss-write: ..." on standard error, status 1,
// no DEST changed. Status 0 when every DEST is in place.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "nongauss/output_file.hpp"
#include "nongauss/version.hpp"

namespace {

const char* const usage =
    "usage: nongauss-write [--input FILE]... DEST SOURCE [DEST SOURCE]...\n"
    "Copies each SOURCE (a file, or - for standard input) to DEST, and puts all\n"
    "the DESTs in place together once every copy is complete, in the order given.\n"
    "A DEST is written under a temporary name in its own directory (mode 0666\n"
    "less the umask) and renamed over its name; a link at DEST is replaced. A\n"
    "DEST that is one of the --input files or one of the SOURCEs is refused\n"
    "before anything is written. On any failure no DEST changes.\n"
    "\n"
    "  --input FILE   a file that no DEST may replace (may be repeated)\n"
    "  --             ends the options\n"
    "  --help         print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Exit status: 0 every DEST in place, 1 otherwise.\n";

int failure(const std::string& message) {
    std::fprintf(stderr, "nongauss-write: %s\n", message.c_str());
    return 1;
}

// The directory (device, inode) and final component of a name: two names
// that agree on both are one DEST, whether or not a file stands there yet.
struct Place {
    dev_t dev = 0;
    ino_t ino = 0;
    std::string base;
    bool known = false;
};

Place place_of(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
    Place p;
    p.base = slash == std::string::npos ? name : name.substr(slash + 1);
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) {
        p.dev = st.st_dev;
        p.ino = st.st_ino;
        p.known = true;
    }
    return p;
}

// Copies the SOURCE into `out`; false with `why` on a read or write error.
bool copy(const std::string& source, nongauss::OutputFile& out, std::string& why) {
    std::FILE* in = source == "-" ? stdin : std::fopen(source.c_str(), "rb");
    if (in == nullptr) {
        why = "cannot open " + source + ": " + std::strerror(errno);
        return false;
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
        if (n > 0 && !out.write(std::string_view(buffer.data(), n))) {
            why = "cannot write " + out.name() + ": " + out.error();
            ok = false;
            break;
        }
        if (n < buffer.size()) {
            if (std::ferror(in)) {
                why = "cannot read " + (source == "-" ? std::string("standard input") : source) + ": " +
                      std::strerror(errno);
                ok = false;
            }
            break;
        }
    }
    if (in != stdin) std::fclose(in);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    nongauss::install_output_cleanup();
    std::vector<std::string> inputs;
    std::vector<std::pair<std::string, std::string>> pairs;  // DEST, SOURCE
    int i = 1;
    for (; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help") {
            std::fputs(usage, stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (word == "--version") {
            std::printf("nongauss-write %s\n", nongauss::version);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (word == "--") {
            ++i;
            break;
        }
        if (word == "--input") {
            if (i + 1 >= argc) return failure("--input needs a file name\nTry 'nongauss-write --help'.");
            inputs.push_back(argv[++i]);
            continue;
        }
        if (word.size() > 1 && word[0] == '-') return failure("unknown option '" + word + "'\nTry 'nongauss-write --help'.");
        break;
    }
    const int rest = argc - i;
    if (rest == 0 || rest % 2 != 0)
        return failure("give DEST SOURCE pairs\nTry 'nongauss-write --help'.");
    for (; i < argc; i += 2) pairs.emplace_back(argv[i], argv[i + 1]);

    // Everything that no DEST may be, before anything is made.
    nongauss::InputFiles protect;
    for (const std::string& f : inputs) protect.add(f);
    int stdin_sources = 0;
    for (const auto& [dest, source] : pairs) {
        if (source == "-") {
            ++stdin_sources;
            protect.add_descriptor(0);
        } else {
            protect.add(source);
        }
    }
    if (stdin_sources > 1) return failure("standard input (-) can be the SOURCE of one DEST only");
    std::vector<Place> places;
    for (const auto& [dest, source] : pairs) {
        if (dest.empty()) return failure("an empty DEST");
        if (protect.contains(dest)) return failure("the DEST " + dest + " is one of the inputs: nothing was written");
        const Place p = place_of(dest);
        for (const Place& q : places)
            if (p.known && q.known && p.dev == q.dev && p.ino == q.ino && p.base == q.base)
                return failure("the DEST " + dest + " is given twice");
        places.push_back(p);
    }

    std::vector<nongauss::OutputFile> outs(pairs.size());
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const auto& [dest, source] = pairs[k];
        if (!outs[k].open(dest)) return failure("cannot write " + dest + ": " + outs[k].error());
        std::string why;
        if (!copy(source, outs[k], why)) return failure(why);
        if (!outs[k].finish()) return failure("cannot write " + dest + ": " + outs[k].error());
    }
    std::vector<nongauss::OutputFile*> all;
    for (auto& o : outs) all.push_back(&o);
    std::size_t failed = 0;
    if (!nongauss::commit_together(all, failed))
        return failure("cannot put " + all[failed]->name() + " in place: " + all[failed]->error());
    return 0;
}
