#include "handlers/cup/brelt/operations/file_requests.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/protocol.h"

#include <glibmm/main.h>

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileRequestOperation::FileRequestOperation(Brelt* unit) : Operation(unit) {}

int FileRequestOperation::run()
{
    LOG(LOG_BRELT, "%s", startText().c_str());
    setProgress(0, progressText);
    FrameBuffer frame;
    frame.header.t = MSG_FIL;
    frame.header.pl = FILE_REQUEST_PL;
    frame.header.partCount = 1;
    frame.header.partNumber = 1;
    if (!fill(filePayload(frame))) {
        LOG(LOG_BRELT, "brelt %s : name or directory too long for its field, not sent\n", unitId());
        done.emit(false);
        return -1;
    }
    hookAnswer(MSG_SUC, sigc::mem_fun(*this, &FileRequestOperation::onSuccess));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &FileRequestOperation::onError));
    if (ticking) {
        ticks = 0;
        tickConnection = Glib::signal_timeout().connect(sigc::mem_fun(*this, &FileRequestOperation::onTick), 200);
    }
    return sendRequest(frame);
}

void FileRequestOperation::cleanup()
{
    tickConnection.disconnect();
    Operation::cleanup();
}

bool FileRequestOperation::onTick()
{
    ++ticks;
    setProgress(std::min(ticks, progressTotal), "");
    return true;
}

void FileRequestOperation::onSuccess(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : %s\n", unitId(), successText);
    if (fullProgressOnSuccess) {
        finish();
        return;
    }
    cleanup();
    done.emit(true);
}

void FileRequestOperation::onError(const FrameHeader* answer)
{
    if (errorWithCode && answer->pl >= FRAME_HEADER_SIZE + 2)
        LOG(LOG_BRELT, "brelt %s : error %d\n", unitId(),
            static_cast<int16_t>(answer->payload()[0] | (answer->payload()[1] << 8)));
    else
        LOG(LOG_BRELT, "brelt %s : error\n", unitId());
    if (errorOutcome == ERROR_DONE) {
        cleanup();
        done.emit(true);
        return;
    }
    fail(errorOutcome == ERROR_MARKED);
}

Chmod::Chmod(Brelt* unit, const std::string& fileName_, const std::string& fileDir_, int mode_)
    : FileRequestOperation(unit), fileName(fileName_), fileDir(fileDir_), mode(mode_)
{
    name = "change mode";
    progressText = "changing file attributes";
    successText = "file mode changed";
}

bool Chmod::fill(FilePayload& p)
{
    p.actn = FILE_CHANGE_MODE;
    p.mode = static_cast<uint32_t>(mode);
    return putField(p.name, fileName) && putField(p.path, fileDir);
}

std::string Chmod::startText() const
{
    char mode_[16];
    snprintf(mode_, sizeof mode_, "0x%x", mode);
    return "brelt " + std::string(unitId()) + " : chmod of " + fileDir + fileName + " to " + mode_ + "\n";
}

Link::Link(Brelt* unit, const std::string& fileName_, const std::string& fileDir_, const std::string& linkName_,
           const std::string& linkDir_)
    : FileRequestOperation(unit), fileName(fileName_), fileDir(fileDir_), linkName(linkName_), linkDir(linkDir_)
{
    name = "link";
    progressText = "linking";
    successText = "link created...";
    errorOutcome = ERROR_DONE;
}

bool Link::fill(FilePayload& p)
{
    p.actn = FILE_LINK;
    return putField(p.name, fileName) && putField(p.path, fileDir) && putField(p.link, linkName) &&
           putField(p.lpth, linkDir);
}

std::string Link::startText() const
{
    return "brelt " + std::string(unitId()) + " : link " + fileDir + fileName + " to ...\n";
}

MvFile::MvFile(Brelt* unit, const std::string& fileName_, const std::string& fileDir_, const std::string& destName_,
               const std::string& destDir_)
    : FileRequestOperation(unit), fileName(fileName_), fileDir(fileDir_), destName(destName_), destDir(destDir_)
{
    name = "move";
    progressText = "moving file";
    weight = 200;
    timeoutMs = 18000;
    progressTotal = 20;
    successText = "file moved";
    errorWithCode = true;
    ticking = true;
}

bool MvFile::fill(FilePayload& p)
{
    p.actn = FILE_REPLACE;
    return putField(p.name, fileName) && putField(p.path, fileDir) && putField(p.link, destName) &&
           putField(p.lpth, destDir);
}

std::string MvFile::startText() const
{
    return "brelt " + std::string(unitId()) + " : moving file " + fileDir + fileName + " to " + destDir + destName +
           "\n";
}

RmFile::RmFile(Brelt* unit, const std::string& fileName_, const std::string& fileDir_)
    : FileRequestOperation(unit), fileName(fileName_), fileDir(fileDir_)
{
    name = "remove file";
    progressText = "removing file";
    successText = "file removed";
    errorWithCode = true;
    errorOutcome = ERROR_MARKED;
}

bool RmFile::fill(FilePayload& p)
{
    p.actn = FILE_REMOVE;
    return putField(p.name, fileName) && putField(p.path, fileDir);
}

std::string RmFile::startText() const
{
    return "brelt " + std::string(unitId()) + " : rm file " + fileDir + fileName + "\n";
}

RmLinkDestinationOperation::RmLinkDestinationOperation(Brelt* unit, const std::string& linkName_,
                                                       const std::string& linkDir_)
    : FileRequestOperation(unit), linkName(linkName_), linkDir(linkDir_)
{
    name = "remove link destination";
    progressText = "removing symbolic link";
    successText = "symlink destination removed";
    errorWithCode = true;
    errorOutcome = ERROR_DONE;
}

bool RmLinkDestinationOperation::fill(FilePayload& p)
{
    p.actn = FILE_REMOVE_LINK_DESTINATION;
    return putField(p.link, linkName) && putField(p.lpth, linkDir);
}

std::string RmLinkDestinationOperation::startText() const
{
    return "brelt " + std::string(unitId()) + " : rm link destination of " + linkDir + linkName + "\n";
}

Untar::Untar(Brelt* unit, const std::string& fileName_, const std::string& fileDir_)
    : FileRequestOperation(unit), fileName(fileName_), fileDir(fileDir_)
{
    name = "untar";
    progressText = "untar " + fileName;
    weight = 200;
    timeoutMs = 25000;
    progressTotal = 40;
    successText = "archive unpacked...";
    errorOutcome = ERROR_MARKED;
    fullProgressOnSuccess = false;
    ticking = true;
}

int Untar::setTarget(const std::string& value)
{
    target = value;
    return 0;
}

int Untar::setExclusion(const std::string& value)
{
    exclusion = value;
    return 0;
}

bool Untar::fill(FilePayload& p)
{
    p.actn = FILE_UNPACK;
    // Only a unit whose last listing was answered is told what to leave out.
    const bool exclude = unit->getFlag("ls dir status");
    return putField(p.name, fileName) && putField(p.path, fileDir) && (!exclude || putField(p.link, exclusion)) &&
           putField(p.lpth, target);
}

std::string Untar::startText() const
{
    return "brelt " + std::string(unitId()) + " : unpacking " + fileName + " excluding " + exclusion + "\n";
}
