// Save Cover writes the cover the safe way: into a temporary file beside the chosen one,
// which replaces it only when written whole. On a full disk the earlier file stays.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/MainUnit.h"
#include "shell/application.h"
#include "shell/picture.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/small_disk.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ReadFileBytes;
using test_support::ScriptedPrompts;
using test_support::SmallDisk;
using test_support::TempDir;
using test_support::WriteFileBytes;

std::string CoverJpeg() {
    return ReadFileBytes(KORVID_SOURCE_DIR "/sample-site/pages/covers/tt9000001.jpg");
}

class SaveCoverTest : public ::testing::Test {
  protected:
    SaveCoverTest() : importer_(prompts_), form_(importer_, prompts_, dir_.Dir(), "127.0.0.1:9") {
        qobject_cast<TApplication*>(QCoreApplication::instance())->SetPrompts(&prompts_);
        form_.Image1->Picture().LoadFromData(cover_, "jpg");
    }
    ~SaveCoverTest() override {
        qobject_cast<TApplication*>(QCoreApplication::instance())->SetPrompts(nullptr);
    }

    void SaveCoverAs(const std::string& file_name) {
        prompts_.file_names.push_back(file_name);
        QTest::mouseClick(form_.Button2, Qt::LeftButton);
    }

    const std::string cover_ = CoverJpeg();
    TempDir dir_;
    ScriptedPrompts prompts_;
    TIMDBImport importer_;
    Tmovieform form_;
};

TEST_F(SaveCoverTest, ReplacesAnEarlierFileByteForByteAndLeavesNothingBeside) {
    const std::string name = dir_.File("cover.jpg");
    WriteFileBytes(name, std::string(100000, 'o'));
    SaveCoverAs(name);
    EXPECT_TRUE(prompts_.errors.empty());
    EXPECT_EQ(ReadFileBytes(name), cover_);
    // The program's folder holds the chosen file and nothing else.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(SaveCoverTest, AFullDiskSaysDiskFullAndLeavesTheEarlierFileAsItWas) {
    SmallDisk disk;
    if (!disk.Mounted()) {
        GTEST_SKIP() << "a full disk needs a tmpfs, which only root can mount here ("
                     << disk.Reason() << ")";
    }
    const std::string name = disk.Dir() + "cover.jpg";
    WriteFileBytes(name, "earlier cover");
    disk.Fill(0);
    SaveCoverAs(name);
    EXPECT_EQ(prompts_.errors, std::vector<std::string>{"Disk full"});
    EXPECT_EQ(ReadFileBytes(name), "earlier cover");
    EXPECT_EQ(disk.Files(), std::vector<std::string>{"cover.jpg"}) << "no temporary file is left";
}

}  // namespace
}  // namespace korvid
