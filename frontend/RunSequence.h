// Steps of one run that main takes before the transfer.
#ifndef ZELVORA_FRONTEND_RUNSEQUENCE_H
#define ZELVORA_FRONTEND_RUNSEQUENCE_H

#include <string>

class CHttpClient;
class CImpBroxCmd;

// Works out the output file when the body is to go to one, and moves an
// earlier file of that name to its backup. No backup is made under -append
// (the file is resumed), for an upload (it writes no output file) or in a
// batch run (the name is not one that gets written). Returns 0 when there is
// no valid output path or the earlier file could not be moved aside: the run
// must then stop before any request, with nothing changed on disk.
int PrepareOutputFile(CImpBroxCmd& cmd, std::string& outputPath, std::string& backupPath);

// Wires the front end's callbacks and the driver into the client and hands
// it the request headers of the command line, in the header map's order.
void SetUpClient(CHttpClient& client, CImpBroxCmd& cmd);

#endif
