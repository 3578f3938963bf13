// Everything that happens to the output file of a single download around
// the transfer, so that no earlier file of the user is lost on the way:
// preparing it (links, another run on the path, a left earlier file, the
// earlier file put aside), putting the earlier file back after a failure,
// and settling the file after a 2xx download (the name the response gives,
// the earlier file dropped or brought back). The earlier file itself is in
// the hands of one keeper (engine/EarlierFile.h), which the engine uses too
// when a whole body takes a resumed file's place; the names come from
// OutputNaming.h; the engine writes the body. Only regular files are ever
// moved, deleted or rewritten: a device such as /dev/null given as the
// output stays as it is.
#ifndef ZELVORA_FRONTEND_OUTPUTBACKUP_H
#define ZELVORA_FRONTEND_OUTPUTBACKUP_H

#include <string>

class CEarlierFile;
class CImpBroxCmd;

enum OutputPrepared {
  OUTPUT_READY,         // go on with the request
  OUTPUT_INVALID,       // no valid output path, or the earlier file could not be moved aside
  OUTPUT_BACKUP_FOUND,  // an earlier file left aside by a run that did not finish is still there
  OUTPUT_LINK_REFUSED,  // the output path is a link to a file that is not ours to write
  OUTPUT_IN_USE         // another run is writing the path (or holds its earlier file aside)
};

// Works out the output file when the body is to go to one, and hands an
// earlier file of that name to earlier: moved aside now, or left at the
// path for the engine to resume when resume is set. Nothing is kept for an
// upload (it writes no output file) or in a batch run (the name is not one
// that gets written). A symbolic link at the output path is never moved:
// one to a device, a pipe or the standard output is written through as it
// is; any other is refused. Any result but OUTPUT_READY means the run must
// stop before any request; nothing on disk was changed then.
OutputPrepared PrepareOutputFile(CImpBroxCmd& cmd, int resume, std::string& outputPath,
                                 CEarlierFile& earlier);

// Prints the message for a result of PrepareOutputFile other than
// OUTPUT_READY.
void PrintOutputRefusal(OutputPrepared result, const std::string& outputPath);

// After a download that failed or gave a status outside 2xx (the engine has
// put the path back as it was): the earlier file back at its path. 1, or 0
// after the line of PrintEarlierFileKept.
int PutEarlierFileBack(CEarlierFile& earlier);
// Says that the earlier file could not be put back, and where it is kept.
void PrintEarlierFileKept(const CEarlierFile& earlier);

// After a 2xx download into outputPath: moves the file to the name the
// response suggests (GetOutputPathFile; a sink, and a file that a part
// continued, are never moved) and settles the earlier file: dropped when
// the body took its name, brought back when the body went elsewhere. 1
// with outputPath naming the file that holds the body. When the suggested
// name cannot be taken (a file is in the way, or the file system refuses
// the name), the body stays at outputPath only if no earlier file stood
// there (1); otherwise the body is dropped, the earlier file is back under
// its name, a line saying why is printed, and the result is 0. The result
// is 0 too, after a line naming where it is kept, when the earlier file
// cannot be brought back; an earlier file that cannot be dropped behind a
// body that took its name is named in a line, and the result is 1.
int SettleOutputFile(std::string& outputPath, CEarlierFile& earlier, CImpBroxCmd& cmd);

#endif
