// The program's entry: one run of the tool from the command line to the
// exit value (1 when the run completed, 0 when it stopped early or the
// single transfer failed).
#include <cstdio>
#include <string>

#include "engine/EarlierFile.h"
#include "engine/HttpClient.h"
#include "engine/Network.h"
#include "frontend/BatchDownload.h"
#include "frontend/ClientSetup.h"
#include "frontend/DownloadDecoder.h"
#include "frontend/ImpBroxCmd.h"
#include "frontend/OutputBackup.h"
#include "frontend/SingleRequest.h"
#include "platform/Interrupt.h"

int main(int argc, char** argv) {
  // An interrupt ends the transfer the way a failure does, so a backup goes
  // back and no partial file stays.
  InterruptCatch();
  // A failed start-up is not reported: the requests then fail on their own.
  InitNetwork();
  // Built first and destroyed last; the client refers to it.
  CImpBroxCmd cmd;
  if (!cmd.ParseCommandLine(argc, argv)) {
    CleanupNetwork();
    return 0;
  }
  std::string outputPath;
  // What the output path held before; outlives the client, which uses it.
  CEarlierFile earlier;
  // Under -append the earlier file is resumed where it stands; else it is
  // put aside before the request.
  const OutputPrepared prepared = PrepareOutputFile(cmd, cmd.m_Append, outputPath, earlier);
  if (prepared != OUTPUT_READY) {
    PrintOutputRefusal(prepared, outputPath);
    CleanupNetwork();
    return 0;
  }

  std::string url = cmd.m_Url;
  int result;
  {
    // Decodes downloaded bodies as they arrive; outlives the client.
    CDownloadDecoder decoder(cmd);
    CHttpClient client;
    SetUpClient(client, cmd, &decoder, &earlier);
    if (cmd.m_BatchUrls.empty()) {
      result = DoSingleRequest(outputPath, earlier, cmd, client, url);
    } else {
      result = DoBatchDownload(client, cmd);
    }
  }
  CleanupNetwork();
  return result;
}
