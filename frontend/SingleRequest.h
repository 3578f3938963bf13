// The driver of a run with one URL: upload, download into a file, or a
// request whose response is shown on the console.
#ifndef ZELVORA_FRONTEND_SINGLEREQUEST_H
#define ZELVORA_FRONTEND_SINGLEREQUEST_H

#include <string>

class CHttpClient;
class CImpBroxCmd;

// Runs the transfer chosen by the options and reports its outcome.
// outputPath: the output file (empty when the body is not to go to a file);
// after a 2xx download it names the file that holds the body.
// backupPath: where main moved an earlier file of that name, or empty.
// Returns 0 when the transfer failed, 1 otherwise (also for a status outside
// 2xx).
int DoSingleRequest(std::string& outputPath, const std::string& backupPath, CImpBroxCmd& cmd,
                    CHttpClient& client, const std::string& url);

#endif
