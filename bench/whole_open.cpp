// The whole open, as a user starts the viewer on a model: process start to the first frame handed to the window,
// and the process's peak memory, for generated models of 1k, 10k and 100k boxes; the peer is F3D opening the same
// boxes as an OBJ (8 corners a box) and rendering one image of 1000 x 600 (it needs an X display: the program
// runs itself under xvfb-run when there is none). Our side is this program run again as the viewer, which ends at
// the first present of a frame that drew the model: every box is in sight from the model's eye, so that frame draws
// at least 12 triangles a box. A viewer that presents ten frames of the read model without one fails (exit 3).
// Beside it, the open of a model of 300 units read over "http:" and cached, with its cache below five folders the
// user's private group may write on a system that lists 300,000 accounts, against the same open below folders no
// group may write: each look at the cache judges the folders above it, and the account list says whether a group
// is the user's alone. The viewer sees that list (a copy of /etc/passwd with the accounts added) bound over
// /etc/passwd in a mount namespace of its own, which needs root.
#include <benchmark/benchmark.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "box_models.h"
#include "processes.h"

namespace {

using namespace kz_bench;

std::string g_self;

void BM_KzviewFirstFrame(benchmark::State& state) {
    measure_processes(state, {g_self, "--viewer", box_model(int(state.range(0))).fig, std::to_string(state.range(0))},
                      state.range(0));
}

void BM_F3dOneImage(benchmark::State& state) {
    const std::string out = (std::filesystem::temp_directory_path() / "kz-bench-boxes" / "f3d.png").string();
    measure_processes(state, {"f3d", "--resolution=1000,600", "--output=" + out, box_model(int(state.range(0))).obj},
                      state.range(0));
}

constexpr int kCachedUnits = 300;
constexpr int kListedAccounts = 300000;

// The model of 300 units at "http://127.0.0.1:9/units/N.fig" (a port nobody serves: every unit comes from the
// cache), one box a unit, and for `folders` 0 and 5 a cache home five folders deep, those folders open to the
// group (the user's) or not, each holding the units in the viewer's cache, fresh; and the account list with
// 300,000 accounts more, each with a group of its own. Written once, but for the cached units' times.
struct CachedUnitsModel {
    std::string fig, cache_home, accounts;
};

CachedUnitsModel cached_units_model(int folders) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "kz-bench-cached";
    fs::path home = dir / ("home" + std::to_string(folders));
    for (int level = 0; level < 5; ++level) {
        home /= "f";
        fs::create_directories(home);
        ::chmod(home.c_str(), folders ? 0775 : 0755);
    }
    const CachedUnitsModel m{(dir / "cached.fig").string(), home.string(), (dir / "passwd").string()};
    if (!fs::exists(m.accounts)) {
        std::ofstream accounts(m.accounts + ".new", std::ios::binary);
        accounts << std::ifstream("/etc/passwd", std::ios::binary).rdbuf();
        for (int i = 0; i < kListedAccounts; ++i)
            accounts << "kzb" << i << ":x:" << 200000 + i << ":" << 200000 + i << "::/nonexistent:/usr/sbin/nologin\n";
        accounts.close();
        fs::rename(m.accounts + ".new", m.accounts);
    }
    std::ofstream fig(m.fig, std::ios::binary);
    fig << "set,eye point,3000,-9000,9000,3000,3000,0,35\r\n";
    // The cache's folders, as the viewer makes them: the user's alone.
    fs::path cached = home / "kzview";
    for (const char* name : {"", "kz3d_temp", "http", "127.0.0.1_9", "units"}) {
        cached /= name;
        fs::create_directories(cached);
        ::chmod(cached.c_str(), 0700);
    }
    for (int i = 0; i < kCachedUnits; ++i) {
        const std::string unit = std::to_string(i) + ".fig";
        fig << "trunk" << std::string(29, ',') << "unit " << i << ",,#frefer=http://127.0.0.1:9/units/" << unit
            << "\r\n";
        std::ofstream box(cached / unit, std::ios::binary);
        box << "box," << (i % 20) * 300 << "," << (i / 20) * 400
            << ",0,,,,,,,,,,200,300,300,,,,,,1,150,170,130,,,,,b\r\n";
        box.close();
        ::chmod((cached / unit).c_str(), 0600);
    }
    return m;
}

// The viewer of the cached model: the cache home in its environment and, in a mount namespace of its own, the
// long account list over /etc/passwd.
void BM_CachedUnitsFirstFrame(benchmark::State& state) {
    const CachedUnitsModel m = cached_units_model(int(state.range(0)));
    const auto in_child = [&m] {
        return ::setenv("XDG_CACHE_HOME", m.cache_home.c_str(), 1) == 0 && ::unshare(CLONE_NEWNS) == 0 &&
               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
               ::mount(m.accounts.c_str(), "/etc/passwd", nullptr, MS_BIND, nullptr) == 0;
    };
    measure_processes(state, {g_self, "--viewer", m.fig, std::to_string(kCachedUnits)}, kCachedUnits, in_child,
                      "it needs root to bind a copy of the account list over /etc/passwd in a mount namespace of its "
                      "own");
    state.counters["accounts"] = kListedAccounts;
}

}  // namespace

BENCHMARK(BM_KzviewFirstFrame)->Arg(1000)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CachedUnitsFirstFrame)
    ->ArgName("group_writable_folders")
    ->Arg(0)
    ->Arg(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_F3dOneImage)->Arg(1000)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // The viewer: --viewer FIGURE BOXES.
    if (argc == 4 && std::strcmp(argv[1], "--viewer") == 0) return run_viewer(argv[2], std::atoll(argv[3]));
    if (!std::getenv("DISPLAY") && !std::getenv("KZ_BENCH_UNDER_XVFB")) {
        // F3D draws through an X display: run again under a virtual one.
        setenv("KZ_BENCH_UNDER_XVFB", "1", 1);
        std::vector<char*> args = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"), const_cast<char*>("-s"),
                                   const_cast<char*>("-screen 0 1920x1080x24")};
        for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
        args.push_back(nullptr);
        execvp(args[0], args.data());
        std::perror("xvfb-run");
        return 1;
    }
    g_self = plain_viewer_copy();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
