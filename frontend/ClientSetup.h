// Setting the client up for a run: the front end's callbacks, the decoder
// of downloaded bodies, the keeper of the output path's earlier file and
// the request headers.
#ifndef ZELVORA_FRONTEND_CLIENTSETUP_H
#define ZELVORA_FRONTEND_CLIENTSETUP_H

class CBodyDecoder;
class CEarlierFile;
class CHttpClient;
class CImpBroxCmd;

// Wires the front end's callbacks, the driver, the decoder of downloaded
// bodies (may be NULL: bodies stored as received) and the keeper of the
// output path's earlier file (may be NULL) into the client and hands it the
// request headers of the command line, in the header map's order.
void SetUpClient(CHttpClient& client, CImpBroxCmd& cmd, CBodyDecoder* decoder,
                 CEarlierFile* earlier = nullptr);

#endif
