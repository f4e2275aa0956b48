// vekdc-cli: every mode of the cipher engine without a window.
//
//   vekdc-cli decode -k KEY [-o DIR] [--view] FILE...
//   vekdc-cli encode (-k KEY | --encoding-key A.key) [-o DIR] [-p P] [-x N] FILE...
//   vekdc-cli keygen (--create-a | --create-b) (--random | --regular) [-d DIR]
//   vekdc-cli keyset [--drive-d DIR] [FILE...]
//
// The tool only fills a job record and hands it to the engine; the engine
// reports its own problems (on standard error) and ends the process itself
// where its rules say so.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/matrix_cipher.h"
#include "platform/console_services.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "vekdc/version.h"

namespace {

using vekdc::CMatrixCipher;
using vekdc::job_options;
using vekdc::job_step;

constexpr int kUsageStatus = 64;
constexpr int kWrongKeyStatus = 2;
constexpr const char* kVersion = "vekdc-cli " VEKDC_VERSION;

const std::map<std::string, std::string> kHelp = {
    {"",
     "usage: vekdc-cli COMMAND [OPTIONS] [FILE...]\n"
     "\n"
     "Commands:\n"
     "  decode   decode .vek files with a decoding key\n"
     "  encode   encode plain files into .vek files\n"
     "  keygen   create a key pair and save it\n"
     "  keyset   make a master key, three encoding keys and their daughter keys\n"
     "\n"
     "vekdc-cli COMMAND --help shows the options of a command; --version the version.\n"},
    {"decode",
     "usage: vekdc-cli decode -k KEY [-o DIR] [--view] FILE...\n"
     "\n"
     "Decodes each FILE with the 11 x 12 decoding key KEY into DIR (default: the\n"
     "current folder) and prints one line per written file. An existing file is\n"
     "never replaced: a decoded file whose name is taken gets a tick count added.\n"
     "\n"
     "  -k, --key KEY      decoding key file\n"
     "  -o, --output DIR   output folder\n"
     "      --view         open decoded pictures, fonts and sounds in a viewer\n"
     "\n"
     "Exit status: 0 when every file was decoded, 2 when the key did not open\n"
     "some file (the others are still decoded), 64 for a usage error, otherwise\n"
     "the status of the error the decoder reported.\n"},
    {"encode",
     "usage: vekdc-cli encode (-k KEY | --encoding-key A.key) [-o DIR] [-p P]\n"
     "                        [-x N] FILE...\n"
     "\n"
     "Encodes each FILE into DIR/<stem>.vek, replacing an older file of that name.\n"
     "With -k the encoding key is derived from the decoding key KEY, so the files\n"
     "open with KEY. With --encoding-key the 12 x 11 encoding key is read from A.key\n"
     "and the matching decoding key is derived from it.\n"
     "\n"
     "  -k, --key KEY           decoding key file\n"
     "      --encoding-key A    encoding key file\n"
     "  -o, --output DIR        output folder (default: the current folder)\n"
     "  -p, --prefix P          plain bytes kept in the clear ahead of the\n"
     "                          enciphered span (default 0)\n"
     "  -x, --header-extra N    value of the header's extra word (default 1)\n"},
    {"keygen",
     "usage: vekdc-cli keygen (--create-a | --create-b) (--random | --regular)\n"
     "                        [-d DIR]\n"
     "\n"
     "Creates an encoding key A or a decoding key B, random or regular, derives\n"
     "the other key of the pair and saves both into DIR (default: the current\n"
     "folder) as B_11_12_matrix_<time> and A_12_11_matrix_<time>. Prints the\n"
     "paths of the two key files.\n"},
    {"keyset",
     "usage: vekdc-cli keyset [--drive-d DIR] [FILE...]\n"
     "\n"
     "Makes the master decoding key, three encoding keys derived from it and their\n"
     "three daughter keys, encoding two files with each encoding key on the way.\n"
     "The keys are written to master.key and daughter1.key ... daughter3.key in the\n"
     "folder that stands for drive D: (--drive-d, or the environment variable\n"
     "VEKDC_DRIVE_D); the encoded files land in the current folder. The six files\n"
     "to encode are taken from the FILE arguments in order, else asked for on the\n"
     "terminal. The same run always makes the same keys.\n"},
};

struct Arguments {
    std::string command;
    std::map<std::string, std::string> values;  // options with a value
    std::map<std::string, bool> flags;          // options without one
    std::vector<std::string> files;
};

[[noreturn]] void usage_error(const std::string& command, const std::string& problem) {
    std::cerr << "vekdc-cli: " << problem << "\n\n" << kHelp.at(command);
    std::exit(kUsageStatus);
}

// Canonical option names per command: value options and flag options.
struct CommandOptions {
    std::map<std::string, std::string> value_aliases;
    std::map<std::string, std::string> flag_aliases;
};

const std::map<std::string, CommandOptions> kOptions = {
    {"decode",
     {{{"-k", "key"}, {"--key", "key"}, {"-o", "output"}, {"--output", "output"}},
      {{"--view", "view"}}}},
    {"encode",
     {{{"-k", "key"},
       {"--key", "key"},
       {"--encoding-key", "encoding-key"},
       {"-o", "output"},
       {"--output", "output"},
       {"-p", "prefix"},
       {"--prefix", "prefix"},
       {"-x", "header-extra"},
       {"--header-extra", "header-extra"}},
      {}}},
    {"keygen",
     {{{"-d", "dir"}, {"--dir", "dir"}},
      {{"--create-a", "create-a"},
       {"--create-b", "create-b"},
       {"--random", "random"},
       {"--regular", "regular"}}}},
    {"keyset", {{{"--drive-d", "drive-d"}}, {}}},
};

Arguments parse(int argc, char** argv) {
    Arguments args;
    if (argc < 2) {
        usage_error("", "no command given");
    }
    args.command = argv[1];
    if (args.command == "--help" || args.command == "-h") {
        std::cout << kHelp.at("");
        std::exit(0);
    }
    if (args.command == "--version") {
        std::cout << kVersion << '\n';
        std::exit(0);
    }
    const auto known = kOptions.find(args.command);
    if (known == kOptions.end()) {
        usage_error("", "unknown command '" + args.command + "'");
    }
    const CommandOptions& options = known->second;
    bool only_files = false;
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        if (only_files || word.empty() || word[0] != '-' || word == "-") {
            args.files.push_back(word);
            continue;
        }
        if (word == "--") {
            only_files = true;
        } else if (word == "--help" || word == "-h") {
            std::cout << kHelp.at(args.command);
            std::exit(0);
        } else if (word == "--version") {
            std::cout << kVersion << '\n';
            std::exit(0);
        } else if (const auto v = options.value_aliases.find(word);
                   v != options.value_aliases.end()) {
            if (i + 1 >= argc) {
                usage_error(args.command, "option " + word + " needs a value");
            }
            args.values[v->second] = argv[++i];
        } else if (const auto f = options.flag_aliases.find(word);
                   f != options.flag_aliases.end()) {
            args.flags[f->second] = true;
        } else {
            usage_error(args.command, "unknown option " + word);
        }
    }
    return args;
}

std::optional<std::string> value(const Arguments& args, const std::string& name) {
    const auto it = args.values.find(name);
    return it == args.values.end() ? std::nullopt : std::optional<std::string>(it->second);
}

int integer_option(const Arguments& args, const std::string& name, int fallback) {
    const auto text = value(args, name);
    if (!text) {
        return fallback;
    }
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text->c_str(), &end, 10);
    if (text->empty() || *end != '\0' || errno != 0 || parsed < INT_MIN || parsed > INT_MAX) {
        usage_error(args.command, "--" + name + " needs a whole number, not '" + *text + "'");
    }
    return static_cast<int>(parsed);
}

// A folder as the engine joins it: with its final separator, "" for the current folder.
std::string folder_prefix(const std::optional<std::string>& folder) {
    return vekdc::platform::with_final_separator(folder.value_or(std::string()));
}

// Prints what the job wrote and remembers whether a file was refused.
class Reporter : public vekdc::job_observer {
public:
    void file_written(job_step /*step*/, std::size_t /*index*/, const std::string& path,
                      const std::string& written_path) override {
        if (path.empty()) {
            std::cout << written_path << '\n' << std::flush;
        } else {
            std::cout << path << " -> " << written_path << '\n' << std::flush;
        }
    }
    void file_refused(job_step step, std::size_t /*index*/, const std::string& /*path*/) override {
        if (step == job_step::decode) {
            refused_ = true;
        }
    }
    void key_written(const std::string& path) override { std::cout << path << '\n' << std::flush; }
    bool refused() const { return refused_; }

private:
    bool refused_ = false;
};

// The job the desktop application's decode runner passes, for a list of files.
job_options decode_job(vekdc::Matrix key, const std::vector<std::string>& files,
                       const std::string& out_dir) {
    job_options job;
    job.key_usage = "read_once";
    job.B_was_read = true;
    job.decode = true;
    job.levels = 2;
    job.pvek = true;
    job.clear_prefix_length = 0;
    job.header_extra = 1;
    job.key_to_use = key;
    job.encode_files = {std::string()};
    job.decode_files = files;
    job.decode_file_count = static_cast<int>(files.size());
    job.decode_out_dir = out_dir;
    return job;
}

int run_decode(const Arguments& args, vekdc::platform::ConsoleServices& console) {
    const auto key_path = value(args, "key");
    if (!key_path) {
        usage_error("decode", "a decoding key is needed (-k KEY)");
    }
    if (args.files.empty()) {
        usage_error("decode", "no file to decode");
    }
    console.set_launching(args.flags.count("view") != 0);
    vekdc::MatrixPtr key(vekdc::read_matrix_from_binary_file(
        false, false, CMatrixCipher::n, CMatrixCipher::m, nullptr, nullptr, *key_path));
    Reporter reporter;
    CMatrixCipher engine;
    engine.run_job(decode_job(key.get(), args.files, value(args, "output").value_or("")),
                   &reporter);
    return reporter.refused() ? kWrongKeyStatus : 0;
}

int run_encode(const Arguments& args, vekdc::platform::ConsoleServices& console) {
    const auto key_path = value(args, "key");
    const auto encoding_key = value(args, "encoding-key");
    if (key_path.has_value() == encoding_key.has_value()) {
        usage_error("encode",
                    "give either a decoding key (-k) or an encoding key (--encoding-key)");
    }
    if (args.files.empty()) {
        usage_error("encode", "no file to encode");
    }
    job_options job;
    job.encode = true;
    job.levels = 2;
    job.pvek = true;
    job.clear_prefix_length = integer_option(args, "prefix", 0);
    job.header_extra = integer_option(args, "header-extra", 1);
    job.encode_files = args.files;
    job.encode_file_count = static_cast<int>(args.files.size());
    job.encode_out_dir = folder_prefix(value(args, "output"));

    vekdc::MatrixPtr key;
    if (key_path) {
        key.reset(vekdc::read_matrix_from_binary_file(
            false, false, CMatrixCipher::n, CMatrixCipher::m, nullptr, nullptr, *key_path));
        job.key_usage = "read_once";
        job.key_to_use = key.get();
    } else {
        job.key_usage = "read_each_time";
        job.read_A = true;
        console.preset_answer(vekdc::platform::Answer::Ok);  // "Give me A"
        console.preset_file(*encoding_key);
    }
    Reporter reporter;
    CMatrixCipher engine;
    engine.run_job(std::move(job), &reporter);
    return 0;
}

int run_keygen(const Arguments& args) {
    const bool create_a = args.flags.count("create-a") != 0;
    const bool create_b = args.flags.count("create-b") != 0;
    const bool random = args.flags.count("random") != 0;
    const bool regular = args.flags.count("regular") != 0;
    if (create_a == create_b) {
        usage_error("keygen", "choose one of --create-a and --create-b");
    }
    if (random == regular) {
        usage_error("keygen", "choose one of --random and --regular");
    }
    if (!args.files.empty()) {
        usage_error("keygen", "unexpected argument '" + args.files.front() + "'");
    }
    job_options job;
    job.key_usage = "create";
    job.create_A = create_a;
    job.create_B = create_b;
    job.random_A = create_a && random;
    job.random_B = create_b && random;
    job.save_keys = true;
    job.levels = 2;
    job.key_dir = folder_prefix(value(args, "dir"));
    Reporter reporter;
    CMatrixCipher engine;
    engine.run_job(std::move(job), &reporter);
    return 0;
}

int run_keyset(const Arguments& args, vekdc::platform::ConsoleServices& console) {
    if (const auto drive = value(args, "drive-d")) {
        vekdc::platform::set_environment_variable("VEKDC_DRIVE_D", *drive);
    }
    if (!args.files.empty()) {
        // The files answer the dialogs; the road's questions are answered OK.
        for (int i = 0; i < 5; ++i) {
            console.preset_answer(vekdc::platform::Answer::Ok);
        }
        for (const auto& file : args.files) {
            console.preset_file(file);
        }
    }
    job_options job;
    job.make_key_set = true;
    job.key_set_kind = "finite";
    job.levels = 2;
    job.interactive_encode = true;
    job.pvek = true;
    job.clear_prefix_length = 0;
    job.header_extra = 1;
    Reporter reporter;
    CMatrixCipher engine;
    engine.run_job(std::move(job), &reporter);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments args = parse(argc, argv);
    vekdc::platform::ConsoleServices console;
    vekdc::platform::install(&console);
    int status = 0;
    if (args.command == "decode") {
        status = run_decode(args, console);
    } else if (args.command == "encode") {
        status = run_encode(args, console);
    } else if (args.command == "keygen") {
        status = run_keygen(args);
    } else {
        status = run_keyset(args, console);
    }
    vekdc::platform::install(nullptr);
    return status;
}
