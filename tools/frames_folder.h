// The folder a frames report goes into, held for one run. The run takes the folder with a lock,
// so a second run into it is refused; it makes its pictures and its page in a folder of its own
// inside, which no one else knows of, and only then puts them in place, each replacing the name
// it takes. So nothing planted in the report folder (a link, a FIFO, another file's second name)
// is written through, and the folder never shows a page beside pictures of another run.
#pragma once

#include <string>
#include <vector>

struct ReportFolder {
    std::string path;
    std::string runPath;  // the run's own folder, where its pictures are made
#ifdef _WIN32
    // The system's handles, or nullptr for none held.
    void* folder = nullptr;
    void* runFolder = nullptr;
    void* lock = nullptr;
#else
    int folder = -1;
    int runFolder = -1;
    int lock = -1;
#endif
};

// "" when the folder `report` names, once made, would be none of `forbidden`; otherwise why not.
// Nothing is made: a path such as REFS/new/../.. leads back to REFS before it exists.
std::string checkReportPlace(const std::string& report, const std::vector<std::string>& forbidden);

// Makes the folder if need be, takes it and makes the run's own folder inside it, then puts
// `page` in place as index.html; "" when done, otherwise why not, with nothing held.
std::string takeReportFolder(const std::string& path, const std::string& page,
                             ReportFolder* report);

// For a run refused before it began: puts `page` in place of an index.html already there, so
// that no page claims an earlier run's result, unless another run holds the folder. A folder
// that is missing or has no page is left as it is.
void replaceExistingPage(const std::string& path, const std::string& page);

// Moves every picture of the run into the report folder and then `page` as index.html; "" when
// done, otherwise why not.
std::string putReportInPlace(ReportFolder* report, const std::string& page);

// Puts `page` in place as index.html, and nothing else of the run.
std::string putPageInPlace(ReportFolder* report, const std::string& page);

// Removes the run's own folder with whatever is left in it, and lets the folder go.
void releaseReportFolder(ReportFolder* report);
