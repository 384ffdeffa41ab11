// Saving over files that are more than their bytes: files the user may not
// write, files in folders the user cannot add to, their mode, owner and other
// names, and links to files not there yet. Save, Save As and Save As Image
// go through the same replace, so each case is tried with all three.
//
// File permissions stop only an ordinary user, and the tests run as root: the
// cases that need an ordinary user run their commands in a child process that
// has become the user nobody, and the parent checks what is on the disk.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <optional>

#include "colour/gif_writer.h"
#include "life_session.h"

using namespace cellarium;

namespace {

const char* const kEarlierImage = "an earlier image";

struct User {
    uid_t uid = 0;
    gid_t gid = 0;
};

std::optional<User> Nobody() {
    const passwd* pw = ::getpwnam("nobody");
    if (pw == nullptr) return std::nullopt;
    User user{pw->pw_uid, pw->pw_gid};
    if (const group* gr = ::getgrnam("nogroup")) user.gid = gr->gr_gid;
    return user;
}

#define REQUIRE_ROOT()                                                                  \
    if (::geteuid() != 0 || !Nobody())                                                  \
    GTEST_SKIP() << "needs root, to make files of another user and to become the user " \
                    "nobody (whom file permissions stop)"

class SafeSave : public LifeSession {
protected:
    // A glider at name, opened and stepped once, so that a save writes bytes
    // that differ from the file's.
    void OpenSteppedGlider(const std::string& name) {
        ASSERT_NE(OpenText(name, kGliderFile), nullptr);
        platform.Command(ID_TOOLS_STEP);
        platform.ClearLog();
    }
    void SaveAs(const std::string& path) {
        platform.ExpectFileDialog(path);
        platform.Command(ID_FILE_SAVE_AS);
        platform.ClearScript();
    }
    void SaveImage(const std::string& path) {
        platform.ExpectFileDialog(path);
        platform.Command(ID_SAVE_AS_IMAGE);
        platform.ClearScript();
    }
    static struct stat Stat(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
        return st;
    }
    static unsigned Mode(const std::string& path) { return Stat(path).st_mode & 07777; }
    static void Own(const std::string& path, uid_t uid, gid_t gid) {
        ASSERT_EQ(::lchown(path.c_str(), uid, gid), 0) << path;
    }
    static void SetMode(const std::string& path, unsigned mode) {
        ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
    }
    // What the folder holds, sorted: a temporary file left behind shows here.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // A saved pattern of the stepped glider, and an image.
    static bool IsPattern(const std::string& text) {
        return text != kGliderFile && text.rfind("#Life 1.05\r\n#D A glider\r\n", 0) == 0;
    }
    static bool IsImage(const std::string& bytes) { return bytes.rfind("GIF87a", 0) == 0; }
    static std::string Damaged(const std::string& path) {
        return path +
               " was being rewritten in place and may be damaged; save it again, or save it "
               "under another name.";
    }

    // Runs act as the user nobody in a child process; returns the messages
    // the program showed meanwhile.
    std::vector<std::string> AsNobody(const std::function<void()>& act) {
        const User nobody = *Nobody();
        int fds[2];
        if (::pipe(fds) != 0) {
            ADD_FAILURE() << "no pipe";
            return {};
        }
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            std::string out;
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobody.gid) != 0 ||
                ::setuid(nobody.uid) != 0) {
                out = "cannot become nobody";
            } else {
                platform.ClearLog();
                act();
                for (const std::string& m : platform.MessageTexts()) out += m + '\0';
            }
            for (std::size_t done = 0; done < out.size();) {
                const ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
                if (n <= 0) break;
                done += std::size_t(n);
            }
            ::_exit(0);
        }
        ::close(fds[1]);
        std::string in;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) break;
            in.append(buffer, std::size_t(n));
        }
        ::close(fds[0]);
        int status = 0;
        EXPECT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child ended badly";
        std::vector<std::string> messages;
        for (std::size_t start = 0; start < in.size();) {
            const std::size_t end = in.find('\0', start);
            if (end == std::string::npos) {
                messages.push_back(in.substr(start));
                break;
            }
            messages.push_back(in.substr(start, end - start));
            start = end + 1;
        }
        return messages;
    }
};

}  // namespace

TEST_F(SafeSave, AFileTheUserMayNotWriteIsNotReplaced) {
    REQUIRE_ROOT();
    const User nobody = *Nobody();
    // nobody may add names to the folder, but not write these files.
    Own(dir.string(), nobody.uid, nobody.gid);
    OpenSteppedGlider("own.lif");
    const std::string other = Write("other.lif", kGliderFile);
    const std::string image = Write("image.gif", kEarlierImage);
    for (const std::string& path : {Path("own.lif"), other, image}) {
        Own(path, nobody.uid, nobody.gid);
        SetMode(path, 0444);
    }
    const std::vector<std::string> before = Names();

    const std::vector<std::string> messages = AsNobody([&] {
        platform.Command(ID_FILE_SAVE);
        SaveAs(other);
        SaveImage(image);
    });
    EXPECT_EQ(messages,
              (std::vector<std::string>{Path("own.lif") + " is read-only or cannot be written.",
                                        other + " is read-only or cannot be written.",
                                        ImageExportFailedMessage(image, kGifCannotCreate)}));
    for (const std::string& path : {Path("own.lif"), other}) {
        EXPECT_EQ(Slurp(path), kGliderFile) << path;
        EXPECT_EQ(Mode(path), 0444u) << path;
    }
    EXPECT_EQ(Slurp(image), kEarlierImage);
    EXPECT_EQ(Mode(image), 0444u);
    EXPECT_EQ(Names(), before);
    EXPECT_EQ(Doc()->GetPathName(), Path("own.lif"));
}

TEST_F(SafeSave, AFileTheBackEndRefusesToOpenForWritingIsNotReplaced) {
    // The back end's refusal stands for any cause the platform may have.
    OpenSteppedGlider("locked.lif");
    const std::string image = Write("locked.gif", kEarlierImage);
    platform.RefuseOpen(Path("locked.lif"));
    platform.RefuseOpen(image, FileError::SharingViolation);
    platform.Command(ID_FILE_SAVE);
    SaveImage(image);
    EXPECT_EQ(platform.MessageTexts(),
              (std::vector<std::string>{Path("locked.lif") + " is read-only or cannot be written.",
                                        ImageExportFailedMessage(image, kGifCannotCreate)}));
    EXPECT_EQ(Slurp(Path("locked.lif")), kGliderFile);
    EXPECT_EQ(Slurp(image), kEarlierImage);
    EXPECT_EQ(Names(), (std::vector<std::string>{"locked.gif", "locked.lif"}));
}

TEST_F(SafeSave, AWritableFileInAFolderTheUserCannotWriteIsWrittenInPlace) {
    REQUIRE_ROOT();
    const User nobody = *Nobody();
    // The folder is root's; the files are nobody's.
    OpenSteppedGlider("own.lif");
    const std::string other = Write("other.lif", kGliderFile);
    const std::string image = Write("image.gif", kEarlierImage);
    for (const std::string& path : {Path("own.lif"), other, image}) {
        Own(path, nobody.uid, nobody.gid);
        SetMode(path, 0640);
    }
    const std::vector<std::string> before = Names();

    EXPECT_EQ(AsNobody([&] {
                  platform.Command(ID_FILE_SAVE);
                  SaveAs(other);
                  SaveImage(image);
              }),
              std::vector<std::string>{});
    EXPECT_TRUE(IsPattern(Slurp(Path("own.lif"))));
    EXPECT_EQ(Slurp(other), Slurp(Path("own.lif")));
    EXPECT_TRUE(IsImage(Slurp(image)));
    for (const std::string& path : {Path("own.lif"), other, image}) {
        EXPECT_EQ(Mode(path), 0640u) << path;
        EXPECT_EQ(Stat(path).st_uid, nobody.uid) << path;
    }
    EXPECT_EQ(Names(), before);

    // The disk fills up half-way: the user is told plainly that the file may
    // now be damaged, since there was nowhere to keep the old one.
    const std::vector<std::string> failed = AsNobody([&] {
        platform.FailWritesAfter(other, 10);
        platform.FailWritesAfter(image, 10);
        SaveAs(other);
        SaveImage(image);
    });
    EXPECT_EQ(failed,
              (std::vector<std::string>{
                  "There is not enough space on the disk to save " + other + ". " + Damaged(other),
                  "Unable to save the image " + image +
                      ". The image could not be written completely. " + Damaged(image)}));
    EXPECT_EQ(Names(), before);
}

TEST_F(SafeSave, TheSavedFileKeepsItsModeWhateverTheUmask) {
    OpenSteppedGlider("private.lif");
    SetMode(Path("private.lif"), 0600);
    const std::string shared = Write("shared.lif", kGliderFile);
    SetMode(shared, 0666);
    const std::string image = Write("image.gif", kEarlierImage);
    SetMode(image, 0604);

    const mode_t old = ::umask(022);
    platform.Command(ID_FILE_SAVE);  // narrower than the umask allows
    ::umask(077);
    SaveAs(shared);  // wider than the umask allows
    SaveImage(image);
    ::umask(old);
    EXPECT_TRUE(platform.MessageTexts().empty());
    EXPECT_TRUE(IsPattern(Slurp(Path("private.lif"))));
    EXPECT_TRUE(IsPattern(Slurp(shared)));
    EXPECT_TRUE(IsImage(Slurp(image)));
    EXPECT_EQ(Mode(Path("private.lif")), 0600u);
    EXPECT_EQ(Mode(shared), 0666u);
    EXPECT_EQ(Mode(image), 0604u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"image.gif", "private.lif", "shared.lif"}));
}

TEST_F(SafeSave, TheSavedFileKeepsItsOwnerAndGroup) {
    REQUIRE_ROOT();
    const User nobody = *Nobody();
    // Root may give the new file the old one's owner.
    OpenSteppedGlider("theirs.lif");
    const std::string image = Write("theirs.gif", kEarlierImage);
    for (const std::string& path : {Path("theirs.lif"), image}) Own(path, nobody.uid, nobody.gid);
    platform.Command(ID_FILE_SAVE);
    SaveImage(image);
    EXPECT_TRUE(platform.MessageTexts().empty());
    for (const std::string& path : {Path("theirs.lif"), image}) {
        EXPECT_EQ(Stat(path).st_uid, nobody.uid) << path;
        EXPECT_EQ(Stat(path).st_gid, nobody.gid) << path;
    }
    EXPECT_TRUE(IsPattern(Slurp(Path("theirs.lif"))));
    EXPECT_TRUE(IsImage(Slurp(image)));

    // An ordinary user may not: a file of root's that nobody may write, in a
    // folder nobody may write too, stays root's.
    Own(dir.string(), nobody.uid, nobody.gid);
    const std::string roots = Write("roots.lif", kGliderFile);
    const std::string rootsImage = Write("roots.gif", kEarlierImage);
    for (const std::string& path : {roots, rootsImage}) SetMode(path, 0666);
    EXPECT_EQ(AsNobody([&] {
                  SaveAs(roots);
                  SaveImage(rootsImage);
              }),
              std::vector<std::string>{});
    EXPECT_TRUE(IsPattern(Slurp(roots)));
    EXPECT_TRUE(IsImage(Slurp(rootsImage)));
    for (const std::string& path : {roots, rootsImage}) {
        EXPECT_EQ(Stat(path).st_uid, 0u) << path;
        EXPECT_EQ(Stat(path).st_gid, 0u) << path;
        EXPECT_EQ(Mode(path), 0666u) << path;
    }
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"roots.gif", "roots.lif", "theirs.gif", "theirs.lif"}));
}

TEST_F(SafeSave, AFileWithSeveralNamesStaysOneFileUnderAllOfThem) {
    OpenSteppedGlider("name.lif");
    std::filesystem::create_hard_link(Path("name.lif"), Path("alias.lif"));
    const std::string image = Write("image.gif", kEarlierImage);
    std::filesystem::create_hard_link(image, Path("alias.gif"));

    platform.Command(ID_FILE_SAVE);
    SaveImage(Path("alias.gif"));
    EXPECT_TRUE(platform.MessageTexts().empty());
    EXPECT_TRUE(IsPattern(Slurp(Path("name.lif"))));
    EXPECT_TRUE(IsImage(Slurp(image)));
    for (const char* name : {"name.lif", "image.gif"}) EXPECT_EQ(Stat(Path(name)).st_nlink, 2u);
    EXPECT_EQ(Stat(Path("name.lif")).st_ino, Stat(Path("alias.lif")).st_ino);
    EXPECT_EQ(Stat(image).st_ino, Stat(Path("alias.gif")).st_ino);

    // A failure half-way leaves one file, which may be damaged, and says so.
    platform.ClearLog();
    platform.FailWritesAfter(Path("alias.lif"), 10);
    SaveAs(Path("alias.lif"));
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{"There is not enough space on the disk to save " +
                                       Path("alias.lif") + ". " + Damaged(Path("alias.lif"))});
    EXPECT_EQ(Stat(Path("name.lif")).st_ino, Stat(Path("alias.lif")).st_ino);
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"alias.gif", "alias.lif", "image.gif", "name.lif"}));
}

TEST_F(SafeSave, ALinkToAFileNotThereYetMakesTheFileAndStaysALink) {
    OpenSteppedGlider("glider.lif");
    std::filesystem::create_directory(Path("sub"));
    // Relative links, one through another.
    std::filesystem::create_symlink("sub/new.lif", Path("link.lif"));
    std::filesystem::create_symlink("link.lif", Path("link2.lif"));
    std::filesystem::create_symlink("sub/new.gif", Path("link.gif"));

    SaveAs(Path("link2.lif"));
    SaveImage(Path("link.gif"));
    EXPECT_TRUE(platform.MessageTexts().empty());
    for (const char* name : {"link.lif", "link2.lif", "link.gif"})
        EXPECT_TRUE(std::filesystem::is_symlink(Path(name))) << name;
    EXPECT_TRUE(IsPattern(Slurp(Path("sub/new.lif"))));
    EXPECT_TRUE(IsImage(Slurp(Path("sub/new.gif"))));
    EXPECT_EQ(Doc()->GetPathName(), Path("link2.lif"));

    // A link to an image that is there: the image is replaced, the link stays.
    const std::string image = Write("real.gif", kEarlierImage);
    std::filesystem::create_symlink(image, Path("old.gif"));
    SaveImage(Path("old.gif"));
    EXPECT_TRUE(std::filesystem::is_symlink(Path("old.gif")));
    EXPECT_TRUE(IsImage(Slurp(image)));

    // Save goes through the links again, now to the file that is there.
    platform.Command(ID_TOOLS_STEP);
    const std::string first = Slurp(Path("sub/new.lif"));
    platform.Command(ID_FILE_SAVE);
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link2.lif")));
    EXPECT_NE(Slurp(Path("sub/new.lif")), first);

    // A link into a folder that does not exist leads nowhere usable: the
    // save says so, and the link is left as it was.
    std::filesystem::create_symlink("nowhere/x.lif", Path("dangling.lif"));
    SaveAs(Path("dangling.lif"));
    EXPECT_EQ(platform.MessageTexts(),
              std::vector<std::string>{Path("dangling.lif") +
                                       " is a link that leads nowhere usable; not followed."});
    EXPECT_TRUE(std::filesystem::is_symlink(Path("dangling.lif")));
    EXPECT_EQ(std::filesystem::read_symlink(Path("dangling.lif")), "nowhere/x.lif");
}
