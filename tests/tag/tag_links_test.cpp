// WriteTag and a symbolic link at the file's name: written through when asked to follow (tag
// FILE on a link the user names), refused otherwise (a scan), leaving the file it leads to.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "common/errors.h"
#include "tag/movie_tag.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

TEST(TagLinks, ALinkIsWrittenThroughOnlyWhenFollowed) {
    TempDir dir;
    const std::string movie(5400, 'm');
    const std::string target = dir.File("elsewhere.bin");
    const std::string link = dir.File("film.avi");
    WriteFileBytes(target, movie);
    std::filesystem::create_symlink(target, link);
    const MovieTag tag = MovieTag::Render({"Canyon", "", "", "", "1990", -1});

    try {
        WriteTag(tag, link, TagLinks::Refuse);
        ADD_FAILURE() << "the link was followed";
    } catch (const IoError& error) {
        EXPECT_EQ(error.Code(), ELOOP);
    }
    EXPECT_EQ(ReadFileBytes(target), movie);

    EXPECT_EQ(WriteTag(tag, link), TagPlacement::Appended);
    EXPECT_EQ(ReadFileBytes(target), movie + std::string(tag.View()));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
}

}  // namespace
}  // namespace korvid
