// The driver of a run with one URL: upload, download into a file, or a
// request whose response is shown on the console.
#ifndef ZELVORA_FRONTEND_SINGLEREQUEST_H
#define ZELVORA_FRONTEND_SINGLEREQUEST_H

#include <string>

class CEarlierFile;
class CHttpClient;
class CImpBroxCmd;

// Runs the transfer chosen by the options and reports its outcome.
// outputPath: the output file (empty when the body is not to go to a file);
// after a 2xx download it names the file that holds the body.
// earlier: the keeper of what that path held before (the client has it
// too); it is dropped or brought back here.
// Returns 0 when the transfer failed or the earlier file could not be put
// back, 1 otherwise (also for a status outside 2xx).
int DoSingleRequest(std::string& outputPath, CEarlierFile& earlier, CImpBroxCmd& cmd,
                    CHttpClient& client, const std::string& url);

#endif
