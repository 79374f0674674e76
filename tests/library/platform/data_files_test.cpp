// Where the library looks for its data files.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "montecarlo/sobol_generator.h"
#include "platform/data_files.h"

namespace {

TEST(DataFiles, LookBesideTheLibraryThenTheExecutableThenTheInstalledFolder)
{
    // Linked into this test program, the library's code lives in the
    // executable: its folder comes first and is not repeated.
    const std::string library = tarvic::libraryFolder();
    ASSERT_FALSE(library.empty());
    EXPECT_EQ(library.back(), '/');
    EXPECT_EQ(library, tarvic::executableFolder());
    const std::vector<std::string> folders = tarvic::dataFolders();
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0], library);
    EXPECT_EQ(folders[1].compare(0, library.size(), library), 0) << folders[1];
    for (const std::string& folder : folders)
        EXPECT_EQ(folder.back(), '/') << folder;

    EXPECT_EQ(tarvic::findDataFile(tarvic::kDirectionNumberFileName),
              library + tarvic::kDirectionNumberFileName);
    EXPECT_EQ(tarvic::findDataFile("no-such-data-file"), "");
    // A folder is not a file.
    EXPECT_EQ(tarvic::findDataFile("."), "");
}

}  // namespace
