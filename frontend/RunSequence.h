// Steps of one run that main takes before the transfer.
#ifndef ZELVORA_FRONTEND_RUNSEQUENCE_H
#define ZELVORA_FRONTEND_RUNSEQUENCE_H

#include <string>

class CBodyDecoder;
class CHttpClient;
class CImpBroxCmd;

enum OutputPrepared {
  OUTPUT_READY,         // go on with the request
  OUTPUT_INVALID,       // no valid output path, or the earlier file could not be moved aside
  OUTPUT_BACKUP_FOUND,  // a backup of an earlier run is still there
  OUTPUT_LINK_REFUSED   // the output path is a link to a file that is not ours to write
};

// Works out the output file when the body is to go to one, and moves an
// earlier file of that name to its backup. No backup is made under -append
// (the file is resumed), for an upload (it writes no output file) or in a
// batch run (the name is not one that gets written). A symbolic link at the
// output path is never moved: one to a device, a pipe or the standard output
// is written through as it is; any other is refused. Any result but
// OUTPUT_READY means the run must stop before any request; nothing on disk
// was changed then.
OutputPrepared PrepareOutputFile(CImpBroxCmd& cmd, std::string& outputPath,
                                 std::string& backupPath);

// Prints the message for a result of PrepareOutputFile other than
// OUTPUT_READY.
void PrintOutputRefusal(OutputPrepared result, const std::string& outputPath);

// Wires the front end's callbacks, the driver and the decoder of downloaded
// bodies (may be NULL: bodies stored as received) into the client and hands
// it the request headers of the command line, in the header map's order.
void SetUpClient(CHttpClient& client, CImpBroxCmd& cmd, CBodyDecoder* decoder);

#endif
