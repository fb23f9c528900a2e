// The settings file: what the reader accepts, what the writer produces byte for byte, round
// trips between the two, and which file a read or a save takes: the user's own copy or the
// current folder's.
#include "saver/settings.h"

#include <gtest/gtest.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Permission bits do not bind root, and the tests often run as root: there the work runs in a
// child process that has given up root for the unprivileged "nobody" user.
void AsUnprivilegedUser(const std::function<void()>& work) {
    if (geteuid() != 0) {
        work();
        return;
    }
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
            _exit(2);
        }
        work();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

class SettingsFile : public ::testing::Test {
   protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillet-settings-XXXXXX";
        dir_ = mkdtemp(pattern);
        path_ = dir_ + "/quilet01.ini";
    }
    void TearDown() override {
        chmod(path_.c_str(), 0644);
        std::remove(path_.c_str());
        rmdir(path_.c_str());
        rmdir(dir_.c_str());
    }

    void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string Contents() {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    // Reads the file starting from the defaults, as both callers do.
    std::pair<int32_t, int32_t> Read() {
        SaverSettings settings;
        ReadSettingsFile(path_.c_str(), settings);
        return {settings.delay, settings.birdCount};
    }

    std::string dir_;
    std::string path_;
};

TEST_F(SettingsFile, AcceptedForms) {
    struct Case {
        std::string bytes;
        int32_t delay;
        int32_t birdCount;
    } cases[] = {
        {"", 200, 3},
        {"CharNumber = 7\r\n", 200, 7},
        {"CharNumber = 5\r\nDelay = 100\r\n", 100, 5},
        {"Delay = 100\r\nDelay = 300\r\n", 300, 3},  // the last value wins
        {"Delay=250\r\n", 250, 3},
        {"Delay=   250\r\n", 250, 3},
        {"Delay =250\r\n", 250, 3},
        {"Delay = +250\r\n", 250, 3},
        {"Delay = 250ms\r\n", 250, 3},
        {"Delay\t=\t250\r\n", 250, 3},  // a blank in the pattern matches any white space
        {" Delay = 250\r\n", 200, 3},   // the name must open the line
        {"delay = 250\r\n", 200, 3},
        {"Delay = \r\n", 200, 3},
        {"Delay = abc\r\n", 200, 3},
        {"Delay : 250\r\n", 200, 3},
        {"Delay = 5 CharNumber = 3\r\n", 5, 3},
        {"Delay = 5 CharNumber = 9\r\n", 5, 3},  // one setting per line
        {"Delay = 0\r\nCharNumber = -2\r\n", 0, -2},
        {"Delay = -40\r\n", -40, 3},
        {"CharNumber = 4", 200, 4},                   // no line end on the last line
        {"Delay = 300\nCharNumber = 6\n", 300, 6},    // lone LF line ends
        {"Delay = 300\rCharNumber = 6\r\n", 300, 3},  // a lone CR is part of the line
        {"Delay =\r250\r\n", 250, 3},                 // ...and keeps the byte after it
        {"Delay = 300\r\n\x1a"
         "Delay = 400\r\n",
         300, 3},  // 0x1A ends the file
        {"\x1a"
         "Delay = 400\r\n",
         200, 3},
        {"Delay = 300\r\nCharNumber = 7\x1a\r\nDelay = 400\r\n", 300, 7},  // also after text
        {"junk\r\n\r\n\r\nCharNumber = 9\r\n", 200, 9},
        {std::string("Delay = 1\0 2\r\nCharNumber = 2\r\n", 30), 1, 2},  // a NUL ends the text
        // Numbers as the saver read them on Windows through the C library (pinned under Wine):
        // digits after at most one sign, the value kept modulo 2^32 however long.
        {"Delay = 2147483648\r\n", INT32_MIN, 3},
        {"Delay = 4294967596\r\nCharNumber = -2147483649\r\n", 300, INT32_MAX},
        {"Delay = 99999999999999999999\r\n", 1661992959, 3},
        {"CharNumber = -99999999999999999999\r\n", 200, -1661992959},
        {"Delay = 0012\r\nCharNumber = -0\r\n", 12, 0},
        {"Delay = 1e3\r\nCharNumber = 0x10\r\n", 1, 0},
        {"Delay = +-5\r\nCharNumber = - 5\r\n", 200, 3},
        {"Delay = -\r\nCharNumber = +\r\n", 200, 3},
        {"Delay = \v\f12\r\n", 12, 3},  // the C library's blanks: space, \t to \r
        {"Delay = \xa0"
         "12\r\nCharNumber = \xb2\r\n",
         200, 3},  // no others
    };
    for (const Case& c : cases) {
        Write(c.bytes);
        auto [delay, birdCount] = Read();
        EXPECT_EQ(delay, c.delay) << "file: " << c.bytes;
        EXPECT_EQ(birdCount, c.birdCount) << "file: " << c.bytes;
    }
}

TEST_F(SettingsFile, LineLengthLimit) {
    // 63 characters fit the line buffer whole: the number's last digit is the 63rd.
    std::string line63 = "Delay =" + std::string(55, ' ') + "1";
    ASSERT_EQ(line63.size(), 63u);
    Write(line63 + "\r\n");
    EXPECT_EQ(Read().first, 1);

    // A longer line keeps its first 63 characters: the digit after them is lost...
    Write(line63 + "2\r\nCharNumber = 8\r\n");
    EXPECT_EQ(Read(), std::make_pair(1, 8));  // ...and the next line still counts

    // A line of 10 000 characters and a file of nothing but one huge line end the read too.
    Write("Delay = 42" + std::string(10000, 'x') + "\nCharNumber = 6\n");
    EXPECT_EQ(Read(), std::make_pair(42, 6));
    Write(std::string(100000, 'Z'));
    EXPECT_EQ(Read(), std::make_pair(200, 3));
}

TEST_F(SettingsFile, MissingOrUnreadableFileKeepsTheCallersValues) {
    SaverSettings settings = {123, 4};
    ReadSettingsFile(path_.c_str(), settings);  // no such file
    EXPECT_EQ(settings.delay, 123);
    EXPECT_EQ(settings.birdCount, 4);

    // A directory in the file's place reads as nothing.
    ASSERT_EQ(mkdir(path_.c_str(), 0755), 0);
    ReadSettingsFile(path_.c_str(), settings);
    EXPECT_EQ(settings.delay, 123);
    EXPECT_EQ(settings.birdCount, 4);
}

TEST_F(SettingsFile, WrittenFormByteForByte) {
    struct Case {
        int32_t delay;
        int32_t birdCount;
        std::string bytes;
    } cases[] = {
        {200, 3, "Delay = 200\r\nCharNumber = 3\r\n"},
        {1000, 10, "Delay = 1000\r\nCharNumber = 10\r\n"},
        {-5, 0, "Delay = -5\r\nCharNumber = 0\r\n"},
        {2147483647, -2147483647 - 1, "Delay = 2147483647\r\nCharNumber = -2147483648\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(WriteSettingsFile(path_.c_str(), {c.delay, c.birdCount}));
        EXPECT_EQ(Contents(), c.bytes);
    }
    WriteSettingsFile(path_.c_str(), {200, 3});
    EXPECT_EQ(Contents().size(), 29u);
    WriteSettingsFile(path_.c_str(), {1000, 10});
    EXPECT_EQ(Contents().size(), 31u);
}

TEST_F(SettingsFile, SavingReplacesTheWholeFile) {
    Write("Delay = 300\r\nCharNumber = 5\r\nExtra = 1\r\nmore text\r\n");
    WriteSettingsFile(path_.c_str(), {300, 5});
    EXPECT_EQ(Contents(), "Delay = 300\r\nCharNumber = 5\r\n");
}

TEST_F(SettingsFile, AFileThatCannotBeWrittenKeepsItsContent) {
    Write("Delay = 300\r\n");
    chmod(path_.c_str(), 0444);
    chmod(dir_.c_str(), 0755);  // the unprivileged writer must reach the file to be refused
    AsUnprivilegedUser([this] {
        SaveFailure failure;
        // A refused write reported as done is the fault this case is about.
        if (WriteSettingsFile(path_.c_str(), {1, 1}, &failure) ||
            failure.systemError != int(kAccessDeniedCode) || failure.file != path_) {
            _exit(3);
        }
    });
    EXPECT_EQ(Contents(), "Delay = 300\r\n");

    // A directory in the file's place cannot be opened for writing by anyone, root included.
    chmod(path_.c_str(), 0644);
    std::remove(path_.c_str());
    ASSERT_EQ(mkdir(path_.c_str(), 0755), 0);
    SaveFailure failure;
    EXPECT_FALSE(WriteSettingsFile(path_.c_str(), {1, 1}, &failure));
    EXPECT_EQ(failure.systemError, int(kAccessDeniedCode));  // as Windows answers
    struct stat info;
    ASSERT_EQ(stat(path_.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

// A limit on the size of files stops a write part-way, as a full disk does, and binds root too.
class FileSizeLimit {
   public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // report EFBIG, do not end the test
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

   private:
    rlimit previous_ = {};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(SettingsFile, AWriteThatStopsPartWayLeavesTheFileAsItWas) {
    struct Case {
        bool exists;
        std::string earlier;
        rlim_t limit;  // bytes that get written before the write fails
        int32_t delay;
        int32_t birdCount;  // the new text is always longer than the limit
    } cases[] = {
        {true, "Delay = 200\r\nCharNumber = 3\r\n", 30, 1000, 10},
        {true, "Delay = 5\r\nmore\r\n", 20, 200, 3},
        {true, "", 10, 200, 3},
        {false, "", 10, 200, 3},  // a file that was not there is not left behind
    };
    for (const Case& c : cases) {
        std::remove(path_.c_str());
        if (c.exists) {
            Write(c.earlier);
        }
        SaveFailure failure;
        bool saved;
        {
            FileSizeLimit limit(c.limit);
            saved = WriteSettingsFile(path_.c_str(), {c.delay, c.birdCount}, &failure);
        }
        EXPECT_FALSE(saved) << c.earlier;
        EXPECT_EQ(failure.systemError, int(kDiskFull)) << c.earlier;
        EXPECT_EQ(access(path_.c_str(), F_OK) == 0, c.exists) << c.earlier;
        if (c.exists) {
            EXPECT_EQ(Contents(), c.earlier);
        }
    }
}

TEST(SettingsPlaces, TheUserCopyLivesInAQuilletFolderUnderAppData) {
    struct Case {
        const char* appData;
        const char* userFile;  // "": no user copy
    } cases[] = {
        {R"(C:\Users\Ann\AppData\Roaming)", R"(C:\Users\Ann\AppData\Roaming\Quillet\quilet01.ini)"},
        {R"(C:\Users\Ann\)", R"(C:\Users\Ann\Quillet\quilet01.ini)"},
        {R"(d:\)", R"(d:\Quillet\quilet01.ini)"},
        {R"(\\server\profiles\ann)", R"(\\server\profiles\ann\Quillet\quilet01.ini)"},
        {"/home/ann/.config", "/home/ann/.config/Quillet/quilet01.ini"},
        {nullptr, ""},  // Windows 95 without user profiles
        {"", ""},
        {"Roaming", ""},  // relative: it would lead back into the current folder
        {R"(.\Roaming)", ""},
        {"C:Roaming", ""},
    };
    for (const Case& c : cases) {
        SettingsPlaces places = FindSettingsPlaces(c.appData);
        EXPECT_STREQ(places.userFile, c.userFile) << (c.appData ? c.appData : "(unset)");
        EXPECT_FALSE(places.userFileExists);
        EXPECT_STREQ(SettingsFileToRead(places), kSettingsFileName);
    }
    // A name that would not fit is not cut short into some other folder.
    std::string under = R"(\Quillet\quilet01.ini)";
    std::string longest = "C:\\" + std::string(kSettingsPathSize - 1 - 3 - under.size(), 'a');
    EXPECT_EQ(FindSettingsPlaces(longest.c_str()).userFile, longest + under);
    longest += "a";
    EXPECT_STREQ(FindSettingsPlaces(longest.c_str()).userFile, "");
}

TEST_F(SettingsFile, AReadTakesTheUserCopyOnceItExists) {
    std::string folder = dir_ + "/Quillet";
    SettingsPlaces places = FindSettingsPlaces(dir_.c_str());
    EXPECT_STREQ(places.userFolder, folder.c_str());
    EXPECT_FALSE(places.userFileExists);
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    std::string copy = folder + "/quilet01.ini";
    std::ofstream(copy, std::ios::binary) << "CharNumber = 0\r\n";
    places = FindSettingsPlaces(dir_.c_str());
    EXPECT_TRUE(places.userFileExists);
    EXPECT_EQ(SettingsFileToRead(places), copy);
    std::remove(copy.c_str());
    rmdir(folder.c_str());
}

// What the system answers when asked for the user's copy, in the table below.
uint32_t gLookUpAnswer = 0;
uint32_t AnswerLookUp(const char*) {
    return gLookUpAnswer;
}

TEST(SettingsPlaces, TheUserCopyIsThereWhenFoundOrRefused) {
    struct Case {
        uint32_t answer;  // the system's code
        bool there;
    } cases[] = {
        {0, true},
        {kAccessDeniedCode, true},  // refused to this user: the copy is there all the same
        {kSharingViolation, true},  // held open by another program
        {kFileNotFound, false},
        {kPathNotFound, false},
        {kBadNetworkPath, false},  // APPDATA on a server that is not there
        {1231, false},             // ERROR_NETWORK_UNREACHABLE
        {123, false},              // ERROR_INVALID_NAME
    };
    for (const Case& c : cases) {
        gLookUpAnswer = c.answer;
        SettingsPlaces places = FindSettingsPlaces(R"(\\server\profiles\ann)", AnswerLookUp);
        EXPECT_EQ(places.userFileExists, c.there) << "answer " << c.answer;
        EXPECT_STREQ(SettingsFileToRead(places), c.there ? places.userFile : kSettingsFileName);
    }
}

// Stand-ins for the disk in the save rule's table: each write answers with the code the row
// gives for that file, and every write and folder made is noted.
struct FakeDisk {
    int sharedError = 0;  // 0: the write goes through
    int userError = 0;
    std::vector<std::string> written;
    std::vector<std::string> folders;
};
FakeDisk* gDisk = nullptr;

bool FakeWrite(const char* path, const SaverSettings&, SaveFailure* failure) {
    bool shared = std::string(path) == kSettingsFileName;
    gDisk->written.push_back(shared ? "shared" : "user");
    int error = shared ? gDisk->sharedError : gDisk->userError;
    std::strcpy(failure->file, path);
    failure->systemError = error;
    return error == 0;
}

void FakeMakeFolder(const char* path) {
    gDisk->folders.push_back(path);
}

TEST(SettingsPlaces, ASaveFallsBackToTheUserCopyOnlyWhenRefusedForLackOfPermission) {
    // The system's codes: access denied, disk full, sharing violation, lock violation.
    constexpr int kRefused = 5, kDiskFull = 112, kSharing = 32, kLocked = 33;
    constexpr const char* kAppData = R"(C:\Users\Ann\AppData\Roaming)";
    struct Case {
        bool appData;
        bool copyExists;
        int sharedError;
        int userError;
        std::vector<std::string> written;
        bool saved;  // when not, the message names the last file written
    } cases[] = {
        {true, false, 0, 0, {"shared"}, true},
        {true, false, kRefused, 0, {"shared", "user"}, true},
        {true, false, kRefused, kDiskFull, {"shared", "user"}, false},
        {true, false, kRefused, kRefused, {"shared", "user"}, false},
        {true, false, kDiskFull, 0, {"shared"}, false},
        {true, false, kSharing, 0, {"shared"}, false},
        {true, false, kLocked, 0, {"shared"}, false},
        {true, true, 0, 0, {"user"}, true},  // the copy, once there, is the one written
        {true, true, 0, kRefused, {"user"}, false},
        {true, true, 0, kDiskFull, {"user"}, false},
        {false, false, 0, 0, {"shared"}, true},
        {false, false, kRefused, 0, {"shared"}, false},
        {false, false, kDiskFull, 0, {"shared"}, false},
    };
    for (const Case& c : cases) {
        FakeDisk disk;
        disk.sharedError = c.sharedError;
        disk.userError = c.userError;
        gDisk = &disk;
        SettingsPlaces places = FindSettingsPlaces(c.appData ? kAppData : nullptr);
        places.userFileExists = c.copyExists;
        SaveFailure failure;
        bool saved = SaveSettingsTo(places, {700, 0}, {FakeWrite, FakeMakeFolder}, &failure);
        std::string row = std::string(c.appData ? "APPDATA" : "no APPDATA") +
                          (c.copyExists ? ", copy" : ", no copy") + ", shared " +
                          std::to_string(c.sharedError) + ", user " + std::to_string(c.userError);
        EXPECT_EQ(saved, c.saved) << row;
        EXPECT_EQ(disk.written, c.written) << row;
        bool fellBack = c.written.size() == 2;
        EXPECT_EQ(disk.folders, fellBack ? std::vector<std::string>{places.userFolder}
                                         : std::vector<std::string>{})
            << row;
        if (!c.saved) {
            bool user = c.written.back() == "user";
            EXPECT_STREQ(failure.file, user ? places.userFile : kSettingsFileName) << row;
            EXPECT_EQ(failure.systemError, user ? c.userError : c.sharedError) << row;
        }
    }
    gDisk = nullptr;
}

TEST_F(SettingsFile, RoundTrips) {
    // Write, read back, write again: the same values and the same bytes, over many values.
    std::mt19937 generator(20261208);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    for (int i = 0; i < 500; ++i) {
        SaverSettings written = {i < 3 ? INT32_MIN + i : any(generator), any(generator)};
        WriteSettingsFile(path_.c_str(), written);
        std::string first = Contents();
        SaverSettings read = {0, 0};
        ReadSettingsFile(path_.c_str(), read);
        ASSERT_EQ(read.delay, written.delay);
        ASSERT_EQ(read.birdCount, written.birdCount);
        WriteSettingsFile(path_.c_str(), read);
        ASSERT_EQ(Contents(), first);
    }
}

}  // namespace
