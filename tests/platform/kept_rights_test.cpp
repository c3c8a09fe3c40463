// The narrowing a replacement's rights go through, over every owner's, owning group's, named user's, named group's,
// mask's and others' entry (each 0-7, the named ones also absent, or no list at all), judged against acl(5)'s access
// check written apart from the program: no account that may hold any membership of the groups involved may do more
// with the new file than it could with the file read (and with the file there now, where that is another), and what
// the rule keeps is kept. No root needed: nothing touches a file but in the last row, which writes as its user.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/kept_permissions.h"
#include "platform/path_names.h"
#include "tests/support/other_user.h"
#include "tests/support/posix_access_check.h"
#include "tests/support/test_paths.h"

namespace kz::platform {
namespace {

using test::AclFile;
using test::AclProcess;

// The ids of the files' owners, the new file's owner where it is another (the saver), the list's named user and a
// stranger; of the file read's group, the other file's, the new file's where it is neither, and the named group.
constexpr unsigned kOwner = 100, kOtherOwner = 101, kSaver = 102, kNamedUser = 200, kStranger = 300;
constexpr unsigned kReadGroup = 1000, kThereGroup = 1001, kNewGroup = 1002, kNamedGroup = 1100;
constexpr unsigned kAbsent = 8;  // a named entry's rights: none there

// A file: its entries; a list holds the named user and group unless kAbsent, always a mask.
struct Entries {
    unsigned user, named_user, group, named_group, mask, other;
    bool listed;
};

FileRights rights_of(const Entries& e, unsigned owner, unsigned group) {
    FileRights f{owner, group, e.user << 6 | (e.listed ? e.mask : e.group) << 3 | e.other, {}, true};
    if (!e.listed) return f;
    const auto add = [&f](std::uint16_t tag, unsigned rights, unsigned id) {
        if (rights != kAbsent) f.list.push_back({tag, static_cast<std::uint16_t>(rights), id});
    };
    add(kAclOwner, e.user, 0), add(kAclUser, e.named_user, kNamedUser), add(kAclOwningGroup, e.group, 0);
    add(kAclGroup, e.named_group, kNamedGroup), add(kAclMask, e.mask, 0), add(kAclOthers, e.other, 0);
    return f;
}

// The judge's view of a file given a mode and a list in the kernel's form.
AclFile judged(unsigned owner, unsigned group, unsigned mode, const std::vector<AccessEntry>& list) {
    AclFile f{owner, group, mode >> 6 & 7, mode >> 3 & 7, mode & 7};
    for (const AccessEntry& e : list) {
        if (e.tag == 0x01) f.user_obj = e.rights;
        if (e.tag == 0x02) f.users[f.user_count++] = {e.id, e.rights};
        if (e.tag == 0x04) f.group_obj = e.rights;
        if (e.tag == 0x08) f.groups[f.group_count++] = {e.id, e.rights};
        if (e.tag == 0x10) f.has_mask = true, f.mask = e.rights;
        if (e.tag == 0x20) f.other = e.rights;
    }
    return f;
}

// The accounts a case is judged over: each of `uids` in each set of `groups` (account n: uid n >> groups' count, in
// the groups whose bits n holds), where every other account behaves as one of them.
struct Universe {
    std::vector<unsigned> uids, groups;
    std::vector<AclProcess> accounts;
    Universe(std::vector<unsigned> u, std::vector<unsigned> g) : uids(std::move(u)), groups(std::move(g)) {
        for (std::size_t n = 0; n < uids.size() << groups.size(); ++n) {
            AclProcess p{uids[n >> groups.size()]};
            for (std::size_t i = 0; i < groups.size(); ++i)
                if (n >> i & 1) p.groups[p.group_count++] = groups[i];
            accounts.push_back(p);
        }
    }
    int count() const { return static_cast<int>(accounts.size()); }
    int uid_index(unsigned uid) const {
        for (std::size_t u = 0; u < uids.size(); ++u)
            if (uids[u] == uid) return static_cast<int>(u) << groups.size();
        return -1;
    }
    int group_bit(unsigned gid) const {
        for (std::size_t g = 0; g < groups.size(); ++g)
            if (groups[g] == gid) return 1 << g;
        return 0;
    }
};

// What every account may do (the set of requests granted) with a file.
struct Table {
    unsigned granted[5 << 4];
};
Table table_of(const Universe& u, const AclFile& file) {
    Table t;
    for (int n = 0; n < u.count(); ++n) t.granted[n] = test::acl_requests_granted(file, u.accounts[n]);
    return t;
}

struct Verdicts {
    long cases = 0, wrong = 0;
    std::string first;
    template <typename Say>
    void add(bool right, Say&& what) {
        ++cases;
        if (!right && !wrong++) first = what();
    }
};

std::string describe(const Entries& e) {
    if (!e.listed) return std::to_string(e.user) + std::to_string(e.group) + std::to_string(e.other);
    const auto r = [](unsigned v) { return v == kAbsent ? std::string("-") : std::to_string(v); };
    return "u" + r(e.user) + " nu" + r(e.named_user) + " g" + r(e.group) + " ng" + r(e.named_group) + " m" + r(e.mask) +
           " o" + r(e.other);
}

// An account and a set of requests as a failure names them.
std::string named(const AclProcess& p) {
    std::string text = "uid " + std::to_string(p.uid) + " in {";
    for (std::size_t g = 0; g < p.group_count; ++g) text += (g ? "," : "") + std::to_string(p.groups[g]);
    return text + "}";
}
std::string requests(unsigned set) {
    std::string text;
    for (unsigned r = 1; r <= 7; ++r)
        if (set >> r & 1)
            text += std::string(text.empty() ? "" : " ") + (r & 4 ? "r" : "") + (r & 2 ? "w" : "") + (r & 1 ? "x" : "");
    return "{" + text + "}";
}

// One side of a case: a file's entries, its rights as the program takes them and what each account may do with it.
struct Side {
    const Entries& entries;
    const FileRights& rights;
    const Table& table;
};

// One case: the file read (owner kOwner, group kReadGroup) against itself (`there` null) or another file, the new file
// owned by `owner` in `group`.
void judge(const Universe& u, const Side& read, const Side* there, unsigned owner, unsigned group, Verdicts* v) {
    const Side& other = there ? *there : read;
    const KeptRights kept = narrowed_rights(read.rights, there ? &there->rights : nullptr, owner, group);
    const Table after = table_of(u, judged(owner, group, kept.mode, kept.list));
    const Table collapsed = kept.list.empty() ? after : table_of(u, judged(owner, group, listless_mode(kept), {}));
    // Groups the new file does not name: an account may or may not be in them, and the new file cannot tell.
    const int unnamed = (u.group_bit(kReadGroup) | u.group_bit(other.rights.group)) & ~u.group_bit(group);
    const int in_group = u.group_bit(group), in_named = u.group_bit(kNamedGroup);
    const bool group_lost = unnamed & u.group_bit(kReadGroup);
    const bool one_owner = owner == kOwner && other.rights.owner == kOwner;
    const bool owner_alone = !one_owner || (there && (read.entries.listed || there->entries.listed));
    const unsigned owners =
        read.table.granted[u.uid_index(kOwner)] & other.table.granted[u.uid_index(other.rights.owner)];
    const auto had = [&](int n) { return read.table.granted[n] & other.table.granted[n]; };
    const auto what = [&] {
        return describe(read.entries) + (there ? " / " + describe(there->entries) : std::string(" / itself")) +
               " owner " + std::to_string(owner) + " group " + std::to_string(group);
    };
    for (int n = 0; n < u.count(); ++n) {
        const unsigned uid = u.accounts[n].uid;
        // The saver owns a new file of its own where it owned neither: it is no account the files knew.
        const bool saver = uid == owner && !one_owner;
        v->add(saver || ((after.granted[n] | collapsed.granted[n]) & ~had(n)) == 0, [&] {
            return what() + ": " + named(u.accounts[n]) + " had " + requests(had(n)) + ", gets " +
                   requests(after.granted[n]) +
                   (kept.list.empty() ? "" : ", without the list " + requests(collapsed.granted[n]));
        });
        unsigned promised = 0;
        if (owner_alone) {
            promised = uid == owner ? owners : 0;
        } else {
            // What every account the new file cannot tell from this one had (each set of the unnamed groups); the
            // new group's members, where the group is not kept, also no more than those of them in the named group
            // had, as the owning group's entry counts for those too.
            promised = ~0u;
            const bool also_named = (n & in_group) && group_lost && !kept.list.empty() && !(n & in_named);
            for (int peer = unnamed;; peer = (peer - 1) & unnamed) {
                promised &= had(n ^ peer) & (also_named ? had((n | in_named) ^ peer) : ~0u);
                if (peer == 0) break;
            }
        }
        v->add(after.granted[n] == promised, [&] {
            return what() + ": " + named(u.accounts[n]) + " gets " + requests(after.granted[n]) + ", promised " +
                   requests(promised);
        });
    }
}

// Every file: with no list (owner, group, others each 0-7), and with one (owner, named user or none, group, named
// group or none, mask, others).
std::vector<Entries> every_file() {
    std::vector<Entries> all;
    for (unsigned m = 0; m < 0777 + 1; ++m) all.push_back({m >> 6, kAbsent, m >> 3 & 7, kAbsent, 7, m & 7, false});
    for (unsigned u = 0; u < 8; ++u)
        for (unsigned nu = 0; nu <= kAbsent; ++nu)
            for (unsigned g = 0; g < 8; ++g)
                for (unsigned ng = 0; ng <= kAbsent; ++ng)
                    for (unsigned m = 0; m < 8; ++m)
                        for (unsigned o = 0; o < 8; ++o) all.push_back({u, nu, g, ng, m, o, true});
    return all;
}

TEST(KeptRights, NoAccountGainsAndWhatTheRuleKeepsIsKeptOverEveryFileRead) {
    const Universe u{{kOwner, kSaver, kNamedUser, kStranger}, {kReadGroup, kNewGroup, kNamedGroup}};
    Verdicts v;
    for (const Entries& e : every_file()) {
        const FileRights rights = rights_of(e, kOwner, kReadGroup);
        const Table before = table_of(u, judged(kOwner, kReadGroup, rights.mode, rights.list));
        const Side read{e, rights, before};
        for (const unsigned owner : {kOwner, kSaver})
            for (const unsigned group : {kReadGroup, kNewGroup}) judge(u, read, nullptr, owner, group, &v);
    }
    EXPECT_EQ(v.wrong, 0) << "of " << v.cases << " verdicts; first: " << v.first;
}

// Another file under the name: every pair of files without lists, of one owner (the new file's), in one group or two,
// the new file in either or in another; each file without a list and every eighth with one (drawn) against another
// drawn at random (from those without a list for every other file without one), of the same owner or another, the
// new file the owner's or the saver's.
TEST(KeptRights, NoAccountGainsOverTheFileReadAndAnotherFilePutThere) {
    const std::vector<Entries> all = every_file();
    Verdicts v;
    const Universe plain{{kOwner, kStranger}, {kReadGroup, kThereGroup, kNewGroup}};
    std::vector<FileRights> in_read, in_there;
    std::vector<Table> read_tables, there_tables;
    for (unsigned m = 0; m < 512; ++m) {
        in_read.push_back(rights_of(all[m], kOwner, kReadGroup));
        in_there.push_back(rights_of(all[m], kOwner, kThereGroup));
        read_tables.push_back(table_of(plain, judged(kOwner, kReadGroup, m, {})));
        there_tables.push_back(table_of(plain, judged(kOwner, kThereGroup, m, {})));
    }
    for (unsigned a = 0; a < 512; ++a)
        for (unsigned b = 0; b < 512; ++b)
            for (const bool one_group : {true, false}) {
                const Side read{all[a], in_read[a], read_tables[a]};
                const Side there{all[b], (one_group ? in_read : in_there)[b],
                                 (one_group ? read_tables : there_tables)[b]};
                for (const unsigned group : {kReadGroup, kThereGroup, kNewGroup})
                    if (!one_group || group != kThereGroup) judge(plain, read, &there, kOwner, group, &v);
            }
    const Universe u{{kOwner, kOtherOwner, kSaver, kNamedUser, kStranger}, {kReadGroup, kThereGroup, kNamedGroup}};
    std::mt19937 random(75);
    for (std::size_t a = 0; a < all.size(); a += a < 512 ? 1 : 1 + random() % 15) {
        // A file without a list, against one without a list too every other time.
        const Entries& other = all[random() % (a < 512 && a % 2 ? 512 : all.size())];
        const unsigned there_owner = random() % 2 ? kOwner : kOtherOwner;
        const FileRights read_rights = rights_of(all[a], kOwner, kReadGroup),
                         there_rights = rights_of(other, there_owner, kThereGroup);
        const Table with_read = table_of(u, judged(kOwner, kReadGroup, read_rights.mode, read_rights.list)),
                    with_there = table_of(u, judged(there_owner, kThereGroup, there_rights.mode, there_rights.list));
        const Side read{all[a], read_rights, with_read}, there{other, there_rights, with_there};
        for (const unsigned owner : {kOwner, kSaver}) judge(u, read, &there, owner, kReadGroup, &v);
    }
    EXPECT_EQ(v.wrong, 0) << "of " << v.cases << " verdicts; first: " << v.first;
}

// A file written is known with its list, so that another file put under its name later is judged against what the
// write left: the owner's 0666 file put there (one owner and group, no lists) gives the bits both allow; the owner's
// write-only file, whose list cannot be read, is not replaced, and the writer says why; a write that read no file
// gives no more than a file made anew would have (touch's). Written by the file's owner
// (nobody, where the tests run as root, who may read anything), in a folder of /tmp and, where root may mount one, on
// a ramfs, which keeps no lists nor attributes.
TEST(KeptRights, AFileWrittenIsJudgedAgainstAnotherPutThereLater) {
    const auto run = [](const std::string& dir) {
        const std::string file = dir + "/u.fig", name = from_native_path(file);
        const auto put_there = [&](unsigned mode) {
            const std::string beside = file + ".new";
            std::ofstream(beside) << "put there";
            return ::chmod(beside.c_str(), mode) == 0 && ::rename(beside.c_str(), file.c_str()) == 0;
        };
        const auto write = [](FileWriter& w) { return w.write("new", 3) && w.commit(); };
        FileWriter first(name);
        ASSERT_TRUE(write(first));
        struct stat written = {};
        ASSERT_EQ(::stat(file.c_str(), &written), 0);
        ASSERT_TRUE(put_there(0666));
        FileWriter second(WriteLanding(name), first.written_identity());
        ASSERT_TRUE(write(second));
        struct stat st = {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, written.st_mode & 0666);
        ASSERT_TRUE(put_there(0200));
        FileWriter third(WriteLanding(name), second.written_identity());
        EXPECT_FALSE(third.is_open());
        EXPECT_EQ(third.failure(), "the access list of the file there now cannot be read (Permission denied)");
        ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
        EXPECT_EQ(test::read_all(file), "put there");
        // Where no file was read, one there now counts as the file read would if made anew: as touch makes it.
        ASSERT_TRUE(put_there(0666));
        const std::string touched = dir + "/touched";
        ::close(::open(touched.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0666));
        FileWriter fourth(WriteLanding(name), FileIdentity{});
        ASSERT_TRUE(write(fourth));
        struct stat made = {};
        ASSERT_EQ(::stat(touched.c_str(), &made), 0);
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, made.st_mode & 0666);
    };
    char made[] = "/tmp/kz-put-there-XXXXXX";  // a folder the user may write wherever the tests run
    ASSERT_NE(::mkdtemp(made), nullptr);
    if (::geteuid() != 0) {
        run(made);
    } else {
        ASSERT_EQ(::chown(made, test::kOtherUser, test::kOtherUser), 0);
        EXPECT_TRUE(test::run_as_other_user("the writes", [&] { run(made); }));
        EXPECT_TRUE(test::run_in_child(
            "the writes on a ramfs",
            [&] {
                return ::unshare(CLONE_NEWNS) == 0 &&
                       ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                       ::mount("none", made, "ramfs", 0, "mode=0755") == 0 &&
                       ::chown(made, test::kOtherUser, test::kOtherUser) == 0 && ::setgroups(0, nullptr) == 0 &&
                       ::setgid(test::kOtherUser) == 0 && ::setuid(test::kOtherUser) == 0;
            },
            [&] { run(made); }));
    }
    std::filesystem::remove_all(made);
}

}  // namespace
}  // namespace kz::platform
