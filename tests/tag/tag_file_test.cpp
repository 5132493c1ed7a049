// Reading and writing the tag of real files in a temporary folder: appending, replacing in
// place, files too short to tag, missing and protected files, a file tagged by a real ID3
// tagging tool, and positions past 4 GB.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "common/errors.h"
#include "tag/movie_tag.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/tag/tag_test_helpers.h"

namespace korvid {
namespace {

using test_support::FileExists;
using test_support::HashBytes;
using test_support::MovieData;
using test_support::ReadFileBytes;
using test_support::SameBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

MovieTag SampleTag(const std::string& title = "Vertigo", int genre = 16) {
    MovieTagValues values;
    values.title = title;
    values.director = "Alfred Hitchcock";
    values.comment = "James Stewart .... Scottie";
    values.imdb = "imdb.com/title/tt0052357/";
    values.year = "1958";
    values.genre_index = genre;
    return MovieTag::Render(values);
}

std::string Tail(const std::string& bytes, std::size_t count = 128) {
    return bytes.substr(bytes.size() - count);
}

// Expects f to throw IoError with the given code and text.
template <typename F>
void ExpectIoError(F&& f, int code, const std::string& text) {
    try {
        f();
        ADD_FAILURE() << "no IoError raised";
    } catch (const IoError& e) {
        EXPECT_EQ(e.Code(), code);
        EXPECT_EQ(std::string(e.what()), text);
    }
}

class TagFileTest : public ::testing::Test {
  protected:
    TempDir dir_;
};

TEST_F(TagFileTest, AppendsToAnUntaggedFileAndKeepsTheMovieData) {
    const std::string path = dir_.File("movie.avi");
    const std::string movie = MovieData(10000);
    WriteFileBytes(path, movie);

    EXPECT_EQ(WriteTag(SampleTag(), path), TagPlacement::Appended);

    const std::string after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), movie.size() + 128);
    EXPECT_EQ(HashBytes(std::string_view(after).substr(0, movie.size())), HashBytes(movie));
    EXPECT_TRUE(SameBytes(after.substr(0, movie.size()), movie));
    EXPECT_EQ(Tail(after), SampleTag().View());
}

TEST_F(TagFileTest, ReplacesAnExistingTagInPlace) {
    const std::string path = dir_.File("movie.mpg");
    const std::string movie = MovieData(4096, 7);
    WriteFileBytes(path, movie);
    ASSERT_EQ(WriteTag(SampleTag("First"), path), TagPlacement::Appended);

    EXPECT_EQ(WriteTag(SampleTag("Second", -1), path), TagPlacement::Replaced);
    EXPECT_EQ(WriteTag(SampleTag("Third", 3), path), TagPlacement::Replaced);

    const std::string after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), movie.size() + 128);
    EXPECT_TRUE(SameBytes(after.substr(0, movie.size()), movie));
    EXPECT_EQ(Tail(after), SampleTag("Third", 3).View());
    EXPECT_EQ(ReadLastTagBytes(path).Title(), "Third");
}

TEST_F(TagFileTest, FileOfExactly128Bytes) {
    const std::string untagged = dir_.File("untagged");
    WriteFileBytes(untagged, MovieData(128));
    EXPECT_EQ(WriteTag(SampleTag(), untagged), TagPlacement::Appended);
    EXPECT_EQ(ReadFileBytes(untagged).size(), 256u);

    // A file that is nothing but a tag keeps its size.
    const std::string only_tag = dir_.File("only-tag");
    WriteFileBytes(only_tag, std::string(SampleTag("Old").View()));
    EXPECT_EQ(WriteTag(SampleTag("New"), only_tag), TagPlacement::Replaced);
    EXPECT_EQ(ReadFileBytes(only_tag), SampleTag("New").View());
}

TEST_F(TagFileTest, LowerCaseMarkerIsNoTagSoTheRecordIsAppended) {
    const std::string path = dir_.File("lower.avi");
    std::string movie = MovieData(1000);
    movie.replace(movie.size() - 128, 3, "tag");
    WriteFileBytes(path, movie);
    EXPECT_EQ(WriteTag(SampleTag(), path), TagPlacement::Appended);
    const std::string after = ReadFileBytes(path);
    EXPECT_TRUE(SameBytes(after.substr(0, movie.size()), movie));
    EXPECT_EQ(Tail(after), SampleTag().View());
}

TEST_F(TagFileTest, FileShorterThan128BytesCannotBeTagged) {
    for (const std::size_t size : {1u, 50u, 127u}) {
        const std::string path = dir_.File("short" + std::to_string(size));
        const std::string movie = MovieData(size, static_cast<std::uint32_t>(size));
        WriteFileBytes(path, movie);
        ExpectIoError([&] { WriteTag(SampleTag(), path); }, 22, "I/O error 22");
        EXPECT_TRUE(SameBytes(ReadFileBytes(path), movie)) << "size " << size;
    }
}

TEST_F(TagFileTest, EmptyFileReadsAsSpacesAndCannotBeWritten) {
    const std::string path = dir_.File("empty.avi");
    WriteFileBytes(path, "");
    EXPECT_EQ(ReadLastTagBytes(path).View(), std::string(128, ' '));
    ExpectIoError([&] { WriteTag(SampleTag(), path); }, 22, "I/O error 22");
    EXPECT_EQ(ReadFileBytes(path), "");
}

TEST_F(TagFileTest, ShortFileIsReadFromItsStartFollowedBySpaces) {
    const std::string path = dir_.File("short.avi");
    WriteFileBytes(path, "TAGtiny");
    const MovieTag tag = ReadLastTagBytes(path);
    EXPECT_EQ(tag.View(), "TAGtiny" + std::string(121, ' '));
    EXPECT_TRUE(tag.HasMarker());
    EXPECT_EQ(tag.Title(), "tiny");
    EXPECT_EQ(tag.GenreNumber(), ' ');
}

TEST_F(TagFileTest, ReaderTakesExactlyTheLast128Bytes) {
    const std::string path = dir_.File("long.avi");
    const std::string movie = MovieData(5000, 3);
    WriteFileBytes(path, movie);
    EXPECT_EQ(ReadLastTagBytes(path).View(), Tail(movie));
}

TEST_F(TagFileTest, MissingFileIsNeverCreated) {
    const std::string path = dir_.File("missing.avi");
    try {
        ReadLastTagBytes(path);
        ADD_FAILURE() << "no FileOpenError raised";
    } catch (const FileOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + path);
    }
    ExpectIoError([&] { WriteTag(SampleTag(), path); }, 2, "File not found");
    EXPECT_FALSE(FileExists(path));

    const std::string in_missing_folder = dir_.File("no-folder/movie.avi");
    ExpectIoError([&] { WriteTag(SampleTag(), in_missing_folder); }, 2, "File not found");
    EXPECT_FALSE(FileExists(dir_.File("no-folder")));
}

// Checks of access rights run as an unprivileged user, also when the tests run as root.
class TagPermissionTest : public TagFileTest {
  protected:
    void SetUp() override {
        // Let the unprivileged user reach the files in the folder.
        ASSERT_EQ(::chmod(dir_.Path().c_str(), 0755), 0);
    }
};

TEST_F(TagPermissionTest, FileWithoutWritePermissionIsLeftAlone) {
    const std::string path = dir_.File("readonly.avi");
    const std::string movie = MovieData(2000);
    WriteFileBytes(path, movie);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);

    const int result = test_support::RunUnprivileged([&] {
        try {
            WriteTag(SampleTag(), path);
            return 1;
        } catch (const IoError& e) {
            return e.Code() == 5 && std::string(e.what()) == "File access denied" ? 0 : 2;
        }
    });
    EXPECT_EQ(result, 0) << "1: written anyway, 2: another error";
    EXPECT_TRUE(SameBytes(ReadFileBytes(path), movie));

    // Reading needs no write permission.
    EXPECT_EQ(test_support::RunUnprivileged(
                  [&] { return ReadLastTagBytes(path).View() == Tail(movie) ? 0 : 1; }),
              0);
}

TEST_F(TagPermissionTest, UnreadableFileCannotBeOpenedByTheReader) {
    const std::string path = dir_.File("secret.avi");
    WriteFileBytes(path, MovieData(500));
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    const int result = test_support::RunUnprivileged([&] {
        try {
            ReadLastTagBytes(path);
            return 1;
        } catch (const FileOpenError& e) {
            return std::string(e.what()) == "Cannot open file " + path ? 0 : 2;
        }
    });
    EXPECT_EQ(result, 0);
}

TEST_F(TagFileTest, FoldersAndPipesAreNoMovieFiles) {
    const std::string folder = dir_.File("folder.avi");
    std::filesystem::create_directory(folder);
    EXPECT_THROW(ReadLastTagBytes(folder), FileOpenError);
    ExpectIoError([&] { WriteTag(SampleTag(), folder); }, EISDIR,
                  "I/O error " + std::to_string(EISDIR));

    // A named pipe must neither block the reader nor take a record.
    const std::string pipe = dir_.File("pipe.avi");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_THROW(ReadLastTagBytes(pipe), FileOpenError);
    EXPECT_THROW(WriteTag(SampleTag(), pipe), IoError);
}

TEST_F(TagFileTest, WriteThatRunsOutOfRoomLeavesNoFragment) {
    // A file size limit 64 bytes past the end lets the system take only half the record.
    const std::string path = dir_.File("full.avi");
    const std::string movie = MovieData(1000, 5);
    WriteFileBytes(path, movie);

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1064, 1064};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(99);
        }
        try {
            WriteTag(SampleTag(), path);
            ::_exit(1);
        } catch (const IoError& e) {
            ::_exit(e.Code() == 101 && std::string(e.what()) == "Disk full" ? 0 : 2);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: another error";
    EXPECT_TRUE(SameBytes(ReadFileBytes(path), movie));
}

// Another writer appends 100-byte records (with O_APPEND) while the file is tagged again and
// again. Every tag either lands whole at the end or is refused as "the file changed while it
// was tagged": the file stays a run of whole records and whole tags after the movie data, and
// every record is there once, in order.
TEST_F(TagFileTest, AppendingWriterNeverLosesARecordToTheTag) {
    const std::string path = dir_.File("growing.avi");
    const std::string movie = MovieData(1000, 9);
    WriteFileBytes(path, movie);
    constexpr std::size_t RecordSize = 100;
    const auto record = [](int number) {
        std::string text = "R" + std::to_string(1000000 + number);
        text.resize(RecordSize - 1, '.');
        return text + "\n";
    };
    std::atomic<bool> stop{false};
    std::atomic<int> appended{0};
    std::thread writer([&] {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        while (!stop) {
            const std::string bytes = record(appended);
            ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
            ++appended;
        }
        ::close(fd);
    });
    int written = 0;
    int refused = 0;
    for (int round = 0; round < 100; ++round) {
        // Each round waits for the writer to append again, so the rounds run while it writes.
        const int seen = appended;
        while (appended == seen) {
            std::this_thread::yield();
        }
        try {
            WriteTag(SampleTag("Round " + std::to_string(round)), path);
            ++written;
        } catch (const IoError& e) {
            ASSERT_EQ(e.Code(), IoError::ChangedWhileTagged);
            EXPECT_EQ(std::string(e.what()), "the file changed while it was tagged");
            ++refused;
        }
    }
    stop = true;
    writer.join();

    const std::string bytes = ReadFileBytes(path);
    ASSERT_TRUE(SameBytes(bytes.substr(0, movie.size()), movie));
    int next_record = 0;
    int tags = 0;
    for (std::size_t at = movie.size(); at < bytes.size();) {
        if (bytes.compare(at, 3, "TAG") == 0) {
            ASSERT_LE(at + MovieTag::Size, bytes.size());
            at += MovieTag::Size;
            ++tags;
        } else {
            ASSERT_EQ(bytes.substr(at, RecordSize), record(next_record)) << "at " << at;
            at += RecordSize;
            ++next_record;
        }
    }
    EXPECT_EQ(next_record, appended.load());
    EXPECT_GE(tags, 1);
    EXPECT_EQ(written + refused, 100);
}

TEST_F(TagFileTest, Id3v1TagFromARealTaggingToolCountsAsTagged) {
    const auto id3v2 = test_support::FindProgram("id3v2");
    if (!id3v2) {
        GTEST_SKIP() << "id3v2 is not installed (scripts/install-deps.sh installs it)";
    }
    const std::string path = dir_.File("song.mpg");
    const std::string movie = MovieData(3000, 11);
    WriteFileBytes(path, movie);
    ASSERT_EQ(test_support::RunChild(*id3v2,
                                     {"-1", "-t", "Old Song", "-a", "Some Artist", "-A",
                                      "Some Album", "-y", "1987", path},
                                     dir_.Path())
                  .exit_code,
              0);
    const std::string tagged = ReadFileBytes(path);
    ASSERT_EQ(tagged.size(), movie.size() + 128);
    ASSERT_EQ(tagged.substr(tagged.size() - 128, 3), "TAG");

    // Read under this layout: ID3v1's title and artist share our title and director places,
    // its album our comment, its year the start of our database identifier.
    const MovieTag old_tag = ReadLastTagBytes(path);
    EXPECT_TRUE(old_tag.HasMarker());
    EXPECT_EQ(old_tag.Title(), "Old Song");
    EXPECT_EQ(old_tag.Director(), "Some Artist");
    EXPECT_EQ(old_tag.Comment(), "Some Album");
    EXPECT_EQ(old_tag.Imdb(), "1987");

    EXPECT_EQ(WriteTag(SampleTag(), path), TagPlacement::Replaced);
    const std::string after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), tagged.size());
    EXPECT_EQ(HashBytes(std::string_view(after).substr(0, movie.size())), HashBytes(movie));
    EXPECT_EQ(Tail(after), SampleTag().View());
}

TEST_F(TagFileTest, PositionsBeyondFourGigabytes) {
    // A sparse file takes no real space; its tag sits past the 32-bit boundary.
    const std::string path = dir_.File("big.avi");
    const off_t size = (off_t{1} << 32) + 1000;
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
    }
    EXPECT_EQ(ReadLastTagBytes(path).View(), std::string(128, '\0'));
    EXPECT_EQ(WriteTag(SampleTag("Big"), path), TagPlacement::Appended);
    EXPECT_EQ(std::filesystem::file_size(path), static_cast<std::uintmax_t>(size) + 128);
    EXPECT_EQ(ReadLastTagBytes(path).View(), SampleTag("Big").View());
    EXPECT_EQ(WriteTag(SampleTag("Bigger"), path), TagPlacement::Replaced);
    EXPECT_EQ(std::filesystem::file_size(path), static_cast<std::uintmax_t>(size) + 128);
    EXPECT_EQ(ReadLastTagBytes(path).Title(), "Bigger");
    // The start of the file is untouched.
    char head[4] = {};
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::pread(fd, head, sizeof head, 0), 4);
    ::close(fd);
    EXPECT_EQ(std::string(head, 4), "head");
}

}  // namespace
}  // namespace korvid
