// The driver of a batch run: every URL of the expanded range into its own
// file of the batch directory, over one kept-alive connection.
#ifndef ZELVORA_FRONTEND_BATCHDOWNLOAD_H
#define ZELVORA_FRONTEND_BATCHDOWNLOAD_H

#include <string>

class CHttpClient;
class CImpBroxCmd;

// Downloads the driver's batch URLs in order, one status line each. A
// failure at one URL never stops the others; an interrupt stops the batch.
// Always returns 1.
int DoBatchDownload(CHttpClient& client, CImpBroxCmd& cmd);

// The file name for a batch URL: the text after its last "/" (the whole URL
// when it has none), each reserved file-name character replaced by "_".
std::string GetBatchFileName(const std::string& url);

#endif
