// Decoding speed against `cp` of the same bytes, measured pair by pair in one run.
//
//   vekdc-bench [--workdir DIR] [--size-mib N] [--files N] [--file-kib N] [--rounds N]
//
// 1. One large encrypted file (default 1 GiB): `vekdc-cli decode` versus
//    `cp` of the encrypted file; time ratio and peak resident memory.
// 2. Many small encrypted files (default 5000 of 4 KiB) in one `vekdc-cli decode`
//    call versus one `cp` of the same files.
// 3. The plain files of 2 in one `vekdc-cli encode` call versus one `cp` of them.
// Each pair runs --rounds times (default 3) in alternating order after a warm-up;
// the median ratio is reported. The exit status is 0 when the targets are met
// (large: ratio <= 1.25 and peak memory <= 32 MiB; small and encode: ratio <= 2.0).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Run {
    double seconds = 0;
    long peak_kib = 0;
};

struct Settings {
    fs::path workdir;
    std::uint64_t size_mib = 1024;
    int files = 5000;
    int file_kib = 4;
    int rounds = 3;
};

fs::path self_folder() {
    return fs::canonical("/proc/self/exe").parent_path();
}

// Runs a command with standard output discarded; returns wall time and peak RSS.
Run run(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null_fd = ::open("/dev/null", O_WRONLY);
        ::dup2(null_fd, 1);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const auto stop = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << "command failed: " << argv[0] << " " << (argv.size() > 1 ? argv[1] : "")
                  << '\n';
        std::exit(2);
    }
    return {std::chrono::duration<double>(stop - start).count(), usage.ru_maxrss};
}

void write_pattern(const fs::path& path, std::uint64_t bytes, std::uint32_t seed) {
    std::ofstream out(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    std::uint32_t state = seed;
    for (auto& c : chunk) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    while (bytes > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, chunk.size()));
        chunk[0] = static_cast<char>(bytes);  // no two chunks alike
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        bytes -= n;
    }
}

void clear_folder(const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct PairResult {
    std::vector<double> ratios;  // per round
    double ratio;
    double decode_seconds;
    double cp_seconds;
    long decode_peak_kib;
};

// Times decode and cp alternately; `decode` and `copy` write into out_dir, which
// is emptied before each command.
PairResult compare(const std::vector<std::string>& decode, const std::vector<std::string>& copy,
                   const fs::path& out_dir, int rounds) {
    clear_folder(out_dir);
    run(copy);  // warm the page cache
    std::vector<double> ratios;
    std::vector<double> decode_times;
    std::vector<double> cp_times;
    long peak = 0;
    for (int r = 0; r < rounds; ++r) {
        Run d;
        Run c;
        const bool decode_first = r % 2 == 0;
        for (int step = 0; step < 2; ++step) {
            clear_folder(out_dir);
            ::sync();
            if ((step == 0) == decode_first) {
                d = run(decode);
            } else {
                c = run(copy);
            }
        }
        ratios.push_back(d.seconds / c.seconds);
        decode_times.push_back(d.seconds);
        cp_times.push_back(c.seconds);
        peak = std::max(peak, d.peak_kib);
    }
    clear_folder(out_dir);
    return {ratios, median(ratios), median(decode_times), median(cp_times), peak};
}

Settings parse(int argc, char** argv) {
    Settings s;
    s.workdir = fs::temp_directory_path() / "vekdc-bench";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << arg << " needs a value\n";
                std::exit(64);
            }
            return argv[++i];
        };
        if (arg == "--workdir") {
            s.workdir = next();
        } else if (arg == "--size-mib") {
            s.size_mib = std::stoull(next());
        } else if (arg == "--files") {
            s.files = std::stoi(next());
        } else if (arg == "--file-kib") {
            s.file_kib = std::stoi(next());
        } else if (arg == "--rounds") {
            s.rounds = std::max(1, std::stoi(next()));
        } else {
            std::cerr << "usage: vekdc-bench [--workdir DIR] [--size-mib N] [--files N] "
                         "[--file-kib N] [--rounds N]\n";
            std::exit(arg == "--help" ? 0 : 64);
        }
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const Settings s = parse(argc, argv);
    const std::string cli = (self_folder() / "vekdc-cli").string();
    const fs::path root = s.workdir;
    fs::remove_all(root);
    fs::create_directories(root / "keys");
    std::cout << "vekdc-bench: " << std::thread::hardware_concurrency() << " cores, work folder "
              << root << "\n\n";

    run({cli, "keygen", "--create-b", "--random", "-d", (root / "keys").string()});
    std::string key;
    for (const auto& e : fs::directory_iterator(root / "keys")) {
        if (e.path().filename().string().rfind("B_", 0) == 0) {
            key = e.path().string();
        }
    }

    // 1. One large file.
    fs::create_directories(root / "large");
    const fs::path plain = root / "large" / "big.bmp";
    write_pattern(plain, s.size_mib << 20, 7);
    run({cli, "encode", "-k", key, "-o", (root / "large").string(), plain.string()});
    fs::remove(plain);
    const std::string vek = (root / "large" / "big.vek").string();
    const fs::path out = root / "out";
    const PairResult large = compare({cli, "decode", "-k", key, "-o", out.string(), vek},
                                     {"cp", vek, (out / "big.vek").string()}, out, s.rounds);
    fs::remove_all(root / "large");

    // 2. Many small files.
    fs::create_directories(root / "small-plain");
    fs::create_directories(root / "small");
    std::vector<std::string> encode{cli, "encode", "-k", key, "-o", (root / "small").string()};
    for (int i = 0; i < s.files; ++i) {
        const fs::path p = root / "small-plain" / ("f" + std::to_string(i) + ".txt");
        write_pattern(p, static_cast<std::uint64_t>(s.file_kib) << 10,
                      static_cast<std::uint32_t>(i));
        encode.push_back(p.string());
    }
    run(encode);
    std::vector<std::string> decode{cli, "decode", "-k", key, "-o", out.string()};
    std::vector<std::string> copy{"cp"};
    for (int i = 0; i < s.files; ++i) {
        const std::string p = (root / "small" / ("f" + std::to_string(i) + ".vek")).string();
        decode.push_back(p);
        copy.push_back(p);
    }
    copy.push_back(out.string());
    const PairResult small = compare(decode, copy, out, s.rounds);

    // 3. The same small files encoded: new outputs, which need no sync.
    encode[5] = out.string();
    std::vector<std::string> copy_plain{"cp"};
    copy_plain.insert(copy_plain.end(), encode.begin() + 6, encode.end());
    copy_plain.push_back(out.string());
    const PairResult encoded = compare(encode, copy_plain, out, s.rounds);
    fs::remove_all(root);

    const double peak_mib = large.decode_peak_kib / 1024.0;
    const bool large_ok = large.ratio <= 1.25 && peak_mib <= 32.0;
    const bool small_ok = small.ratio <= 2.0;
    const bool encode_ok = encoded.ratio <= 2.0;
    std::printf("%-34s %10s %10s %8s %12s\n", "pair (median of rounds)", "vekdc s", "cp s", "ratio",
                "decode RSS");
    std::printf("%-34s %10.3f %10.3f %8.3f %9.1f MiB   %s (ratio <= 1.25, RSS <= 32 MiB)\n",
                (std::to_string(s.size_mib) + " MiB file").c_str(), large.decode_seconds,
                large.cp_seconds, large.ratio, peak_mib, large_ok ? "ok" : "MISSED");
    std::printf(
        "%-34s %10.3f %10.3f %8.3f %9.1f MiB   %s (ratio <= 2.0)\n",
        (std::to_string(s.files) + " files of " + std::to_string(s.file_kib) + " KiB").c_str(),
        small.decode_seconds, small.cp_seconds, small.ratio, small.decode_peak_kib / 1024.0,
        small_ok ? "ok" : "MISSED");
    std::printf("%-34s %10.3f %10.3f %8.3f %9.1f MiB   %s (ratio <= 2.0)\n",
                ("encode " + std::to_string(s.files) + " files").c_str(), encoded.decode_seconds,
                encoded.cp_seconds, encoded.ratio, encoded.decode_peak_kib / 1024.0,
                encode_ok ? "ok" : "MISSED");
    std::printf("\nratios per round (decode time / cp time of the same round):\n");
    for (const auto* pair : {&large, &small, &encoded}) {
        std::printf("  %s:", pair == &large ? "large" : pair == &small ? "small" : "encode");
        for (double r : pair->ratios) {
            std::printf(" %.3f", r);
        }
        std::printf("\n");
    }
    return large_ok && small_ok && encode_ok ? 0 : 1;
}
