// Paths, URLs, file kinds and folders; generated cases against Python's ntpath as an independent oracle.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/foundation/heap_text.h"
#include "app/foundation/paths.h"
#include "platform/file_system.h"
#include "support/test_paths.h"

namespace kz::foundation {
namespace {

namespace fs = std::filesystem;

std::string resolve(const char* name, const char* base, int n = 0) {
    char out[kPathBufferSize];
    EXPECT_EQ(resolve_relative_path(out, name, base, n), 0);
    return out;
}

std::string relative(const char* base, const char* path) {
    char out[kPathBufferSize] = "junk";
    return make_relative_path(base, path, out) ? std::string(out) : "<null:" + std::string(out) + ">";
}

std::string normalize(const char* path) {
    char* h = normalize_path(nullptr, path);
    std::string s = h;
    free_and_null(h);
    return s;
}

TEST(Paths, ResolveRelativePath) {
    struct Case {
        const char* name;
        const char* base;
        const char* want;
    };
    const Case cases[] = {
        {"sub/part.fig", "c:/data", "C:\\data\\sub\\part.fig"},
        {"..\\x.fig", "C:\\a\\b\\", "C:\\a\\x.fig"},
        {"x.fig", "http://host/models/", "http://host/models/x.fig"},
        {"../y.fig", "http://host/models/sub/", "http://host/models/y.fig"},
        {"HTTP://other/a/b.fig", "C:\\a\\", "HTTP://other/a/b.fig"},
        {"\\\\server\\share\\u.fig", "C:\\a\\", "\\\\server\\share\\u.fig"},
        {"file:C:\\u.fig", "C:\\a\\", "file:C:\\u.fig"},
        {"d:/abs/u.fig", "C:\\a\\", "D:\\abs\\u.fig"},
        {".\\u.fig", "Z:\\m", "Z:\\m\\u.fig"},
        {"a\\.\\b\\..\\u.fig", "Z:\\m\\", "Z:\\m\\a\\u.fig"},
        {"\x95\x5c\\\x83\x5c.fig", "Z:\\\x95\x5c/", "Z:\\\x95\x5c\\\x95\x5c\\\x83\x5c.fig"},  // 表, ソ: trail 0x5C
        // A POSIX name is absolute as written; joined to a POSIX folder a name stays a POSIX name below it, and
        // one that climbs out is the drive name that is written back as the same climb.
        {"/home/u/parts/chair.fig", "Z:\\m\\", "/home/u/parts/chair.fig"},
        {"/home/u/./a/../\x95\x5c.fig", "http://host/m/", "/home/u/\x95\x5c.fig"},
        {"sub\\x.fig", "/home/u/parts", "/home/u/parts/sub/x.fig"},
        {"../x.fig", "/home/u/parts/", "Z:\\home\\u\\x.fig"},
        {"\\home\\x.fig", "Z:\\m\\", "Z:\\m\\\\home\\x.fig"},         // one backslash: joined, as always
        {"//host/share/x.fig", "Z:\\m\\", "\\\\host\\share\\x.fig"},  // a network name
    };
    for (const Case& c : cases) EXPECT_EQ(resolve(c.name, c.base), c.want) << c.name << " on " << c.base;
    EXPECT_EQ(resolve("part.fig,rest", "C:\\a", 8), "C:\\a\\part.fig");  // only the first n bytes
    EXPECT_EQ(resolve(std::string(3000, 'x').c_str(), "C:\\").size(), kPathBufferSize - 1u);
}

TEST(Paths, NormalizeAndSlashes) {
    EXPECT_EQ(normalize("a/b/../c"), "a\\c");
    EXPECT_EQ(normalize(".\\x\\.\\y"), "x\\y");
    EXPECT_EQ(normalize("a\\.\\..\\b"), "b");        // "." is no folder for ".." to cancel
    EXPECT_EQ(normalize("..\\..\\x"), "..\\..\\x");  // no folder to go back over: kept
    EXPECT_EQ(normalize("C:\\..\\x"), "C:\\..\\x");  // a drive is not a folder
    // A relative name stays relative: a first folder named like a drive or an address keeps a ".\\" before it.
    for (const char* name : {".\\Z:\\x\\y", "a\\..\\1:\\y", "./file:/y", "sub\\..\\http:\\y", ".\\c:"})
        EXPECT_EQ(normalize(name).substr(0, 2), ".\\") << name;
    EXPECT_EQ(normalize("Z:\\x\\.\\y"), "Z:\\x\\y");  // a drive name stays one
    EXPECT_EQ(normalize("\x95\x5c\\..\\x"), "x");     // "表" is one folder name
    char buf[64] = "a/\x95\x5c/b";
    to_backslashes(buf, nullptr);
    EXPECT_STREQ(buf, "a\\\x95\x5c\\b");
    char out[64];
    EXPECT_STREQ(to_forward_slashes(buf, out), "a/\x95\x5c/b");  // the trail byte 0x5C stays
}

TEST(Paths, MakeRelativePath) {
    struct Case {
        const char* base;
        const char* path;
        const char* want;
    };
    const Case cases[] = {
        {"C:\\a\\b\\", "C:\\a\\b\\sub\\x.fig", "sub\\x.fig"},  // ".\\" + rest, normalised
        {"c:/a/B", "C:\\A\\b\\x.fig", "x.fig"},                // prefix compared without case
        {"C:\\a\\b\\", "C:\\a\\c\\x.fig", "..\\c\\x.fig"},
        {"C:\\a\\b\\c\\", "C:\\a\\x.fig", "..\\..\\x.fig"},
        {"C:\\a\\", "D:\\x.fig", "D:\\x.fig"},
        {"\\\\s1\\share\\", "\\\\s2\\share\\x.fig", "\\\\s2\\share\\x.fig"},  // only "\\\\" in common
        {"http://h/m/", "http://h/n/x.fig", "../n/x.fig"},
        {"", "C:\\x.fig", "C:\\x.fig"},
        // A POSIX path: relative inside the folder (a POSIX folder or its drive name), else as it was read.
        {"Z:\\home\\me\\m\\", "/home/me/m/sub/x.fig", "sub\\x.fig"},
        {"/home/me/m", "/home/me/m/x.fig", "x.fig"},
        {"Z:\\home\\me\\m\\", "/home/u/parts/chair.fig", "/home/u/parts/chair.fig"},
        {"/home/me/m/", "/home/me/n/./x.fig", "/home/me/n/x.fig"},
        {"/home/me/m/", "Z:\\home\\me\\n\\x.fig", "..\\n\\x.fig"},  // a drive name keeps its relative form
    };
    for (const Case& c : cases) EXPECT_EQ(relative(c.base, c.path), c.want) << c.base << " / " << c.path;
    EXPECT_EQ(relative("C:\\a\\", ""), "<null:>");
    EXPECT_EQ(relative("C:\\a\\", nullptr), "<null:>");
}

TEST(Paths, SplitUrlPath) {
    char server[256], folder[256], file[256], ext[256], query[256];
    // Server, folder, file, extension and query.
    const auto split = [&](const char* url) {
        split_url_path(url, server, folder, file, ext, query);
        return std::vector<std::string>{server, folder, file, ext, query};
    };
    EXPECT_EQ(split("http://www.example.jp/kz3d/function/view.fig?id=7&x=1"),
              (std::vector<std::string>{"http://www.example.jp", "/kz3d/function/", "view", ".fig", "id=7&x=1"}));
    EXPECT_EQ(split("HTTP://host"), (std::vector<std::string>{"http://host", "", "", "", ""}));
    EXPECT_EQ(split("C:\\a\\b.fig?x"), (std::vector<std::string>{"", "", "", "", "x"}));
    split_url_path(nullptr, nullptr, nullptr, nullptr, nullptr, query);
    EXPECT_STREQ(query, "");
}

TEST(Paths, ExtensionsAndSplitting) {
    char out[kPathBufferSize], folder[kPathBufferSize], file[kPathBufferSize];
    add_default_extension(out, "model", ".fig");
    EXPECT_STREQ(out, "model.fig");
    add_default_extension(out, "C:\\m\\model.old", ".fig");
    EXPECT_STREQ(out, "C:\\m\\model.old");
    add_default_extension(out, "C:\\m.d\\model.", ".fig");
    EXPECT_STREQ(out, "C:\\m.d\\model.fig");
    split_folder_and_file("C:\\m\\\x95\x5c.fig", folder, file);
    EXPECT_EQ(std::tuple(std::string(folder), std::string(file)), std::tuple("C:\\m\\", "\x95\x5c.fig"));
    EXPECT_EQ(
        std::tuple(has_extension("a.FIG", ".fig"), has_extension("a.figset", ".fig"), has_extension(nullptr, ".fig")),
        std::tuple(1, 0, 0));
}

TEST(Paths, FileKinds) {
    const std::string dir = test::output_file("kinds");
    fs::create_directories(dir);
    std::ofstream(dir + "/notes.txt") << "n";
    const std::string win = platform::from_native_path(dir) + "\\";
    struct Case {
        std::string name;
        int kind;
    };
    const Case cases[] = {
        {"a.fig", 1}, {"b.JPG", 2},           {"c.jpeg", 2},          {"d.tif", 2},          {"plan.DXF", 3},
        {"e.jwc", 3}, {win + "notes.txt", 1}, {win + "NOTES.TXT", 1}, {win + "gone.txt", 0}, {"http://h/x.cgi", 1},
        {"", 0}};
    for (const Case& c : cases) EXPECT_EQ(get_file_kind(c.name.c_str()), c.kind) << c.name;
    EXPECT_EQ(url_or_file_exists(nullptr), 0);
}

TEST(Paths, StartNameFromProgramFileName) {
    char out[kPathBufferSize] = "junk";
    decode_path_from_file_name("viewer_C')models)plant(2)", out, ".fig");
    EXPECT_STREQ(out, "C:\\models\\plant.fig");
    decode_path_from_file_name("viewer_ Z')m)\x95\x5c[copy] ", out, ".fig");
    EXPECT_STREQ(out, "Z:\\m\\\x95\x5c.fig");
    decode_path_from_file_name("viewer", out, ".fig");
    EXPECT_STREQ(out, "");
}

TEST(Paths, FolderOperations) {
    const fs::path root = test::output_file("folders_" + std::to_string(getpid()));
    fs::remove_all(root);
    const std::string win = platform::from_native_path(root.string());
    ASSERT_EQ(make_folders((win + "\\one\\two/three").c_str()), 1);
    EXPECT_TRUE(fs::is_directory(root / "one/two/three"));
    std::ofstream(root / "one/a.fig") << "12345";
    std::ofstream(root / "one/b.fig") << "67";
    std::ofstream(root / "one/skip_me.fig") << "x";
    int count = -1;
    std::uint32_t total = 99;
    char** names = list_folder((win + "\\one\\").c_str(), "*.fig", 0, &count, &total, "SKIP");
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::tuple(std::string(names[0]), std::string(names[1]), total), std::tuple("a.fig", "b.fig", 7u));
    free_folder_listing(names, count);
    names = list_folder((win + "\\one\\").c_str(), "*", 1, &count, &total, nullptr);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(names[0], "two");
    free_folder_listing(names, count);
    EXPECT_EQ(list_folder((win + "\\one\\").c_str(), "*.none", 0, &count, &total, nullptr), nullptr);
    EXPECT_EQ(std::tuple(count, total), std::tuple(0, 0u));
    EXPECT_EQ(get_file_size((win + "\\ONE\\A.FIG").c_str()), 5u);
    EXPECT_EQ(get_file_size((win + "\\one\\none").c_str()), 0u);
    EXPECT_NE(get_file_write_stamp((win + "\\one\\a.fig").c_str()), 0u);
    EXPECT_EQ(get_file_write_stamp((win + "\\one\\none").c_str()), 0u);

    // Copies of the program's start file: "name(2).fig", "name[x].fig"... all go, others stay.
    for (const char* n : {"kz_plant.fig", "kz_plant(2).fig", "kz_plant[old].fig", "kz_other.fig", "kz_plant.txt"})
        std::ofstream(root / n) << "c";
    EXPECT_EQ(delete_file_copies((win + "\\").c_str(), "kz_plant(3)", ".fig"), 3);
    EXPECT_TRUE(fs::exists(root / "kz_other.fig") && fs::exists(root / "kz_plant.txt"));
    EXPECT_EQ(delete_file_copies((win + "\\").c_str(), "kzother", ".fig"), 0);  // no "_": nothing
    EXPECT_TRUE(fs::exists(root / "kz_other.fig"));

    // Trees are deleted only below the program's temporary folders.
    EXPECT_EQ(delete_folder_tree((win + "\\one\\").c_str()), 0);
    EXPECT_TRUE(fs::exists(root / "one/a.fig"));
    const std::string temp_tree = platform::temp_path() + "kzview_tempp\\t" + std::to_string(getpid()) + "\\";
    make_folders((temp_tree + "x\\y").c_str());
    std::ofstream(platform::to_native_path(temp_tree + "x\\f.txt")) << "f";
    EXPECT_EQ(delete_folder_tree(temp_tree.c_str()), 0);
    EXPECT_FALSE(fs::exists(platform::to_native_path(temp_tree)));
    fs::remove_all(root);
}

TEST(Paths, StringPairStack) {
    StringPairNode* top = push_string_pair(nullptr, "C:\\a\\", "a.fig");
    top = push_string_pair(top, "C:\\b\\", "b.fig");
    char* folder = nullptr;
    char* file = nullptr;
    top = pop_string_pair(top, &folder, &file);
    EXPECT_EQ(std::tuple(std::string(folder), std::string(file)), std::tuple("C:\\b\\", "b.fig"));
    top = pop_string_pair(top, &folder, &file);
    EXPECT_EQ(std::tuple(std::string(folder), std::string(file)), std::tuple("C:\\a\\", "a.fig"));
    StringPairNode* bottom = top;
    EXPECT_EQ(pop_string_pair(top, &folder, &file), bottom);  // nothing below: unchanged
    EXPECT_STREQ(folder, "C:\\a\\");
    free_and_null(folder);
    free_and_null(file);
    free_string_pairs(top);
}

// ---- generated cases against Python's ntpath ----

std::string python(const std::string& script, const std::string& input) {
    const std::string in = test::output_file("ntpath_in.txt"), py = test::output_file("ntpath.py");
    std::ofstream(in, std::ios::binary) << input;
    std::ofstream(py) << script;
    return test::command_output("/usr/bin/python3 '" + py + "' < '" + in + "'");
}

std::vector<std::string> lines_of(const std::string& s) {
    std::vector<std::string> v;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
}

// Both are defined and agree when: the base is drive-absolute, no ".." climbs above the drive root, and no
// doubled separators or trailing "." appear. Where they differ by design, the system's rules hold: ntpath folds
// ".." above the root away (we keep "C:\\..\\x"), squeezes doubled separators (we keep them), compares case-blind
// in relpath (we compare exactly below the common prefix) and refuses paths on other drives (we keep the path).
TEST(Paths, GeneratedCasesAgreeWithNtpath) {
    std::mt19937 rng(20261207);
    const char* names[] = {"a", "b", "Dir", "x1", "sub.d"};
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::string input;
    std::vector<std::pair<std::string, std::string>> resolve_cases, relative_cases;
    for (int i = 0; i < 300; ++i) {
        const int depth = 1 + pick(3);
        std::string base = "C:";
        for (int k = 0; k < depth; ++k) base += std::string("\\") + names[pick(5)];
        if (pick(2)) base += "\\";
        std::string name;
        int level = depth;
        const int parts = 1 + pick(4);
        for (int k = 0; k < parts; ++k) {
            const int r = pick(6);
            std::string part = r == 0 && level > 0 ? ".." : r == 1 ? "." : names[pick(5)];
            if (part == "..")
                --level;
            else if (part != ".")
                ++level;
            name += part + (pick(3) == 0 ? "/" : "\\");
        }
        name += "f" + std::to_string(i) + ".fig";
        resolve_cases.emplace_back(name, base);
        std::string path = "C:";
        const int pdepth = pick(4);
        for (int k = 0; k < pdepth; ++k) path += std::string("\\") + names[pick(5)];
        path += "\\p" + std::to_string(i) + ".fig";
        relative_cases.emplace_back(base, path);
        input += "R\t" + name + "\t" + base + "\n" + "M\t" + base + "\t" + path + "\n";
    }
    const std::string script =
        "import sys, ntpath\n"
        "for line in sys.stdin.read().splitlines():\n"
        "    k, a, b = line.split('\\t')\n"
        "    if k == 'R':\n"
        "        print(ntpath.normpath(ntpath.join(b, a)))\n"
        "    else:\n"
        "        print(ntpath.relpath(b, a))\n";
    const std::vector<std::string> want = lines_of(python(script, input));
    ASSERT_EQ(want.size(), 600u) << "Python's ntpath did not answer";
    int compared = 0;
    for (std::size_t i = 0; i < resolve_cases.size(); ++i) {
        EXPECT_EQ(resolve(resolve_cases[i].first.c_str(), resolve_cases[i].second.c_str()), want[2 * i])
            << resolve_cases[i].first << " on " << resolve_cases[i].second;
        // relpath compares case-blind where we compare exactly: only cases where the spellings agree count.
        const std::string got = relative(relative_cases[i].first.c_str(), relative_cases[i].second.c_str());
        EXPECT_EQ(got, want[2 * i + 1]) << relative_cases[i].first << " -> " << relative_cases[i].second;
        compared += 2;
    }
    EXPECT_EQ(compared, 600);
}

}  // namespace
}  // namespace kz::foundation
