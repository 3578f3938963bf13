// Setting the client up for a run: the front end's callbacks, the decoder
// of downloaded bodies and the request headers.
#ifndef ZELVORA_FRONTEND_CLIENTSETUP_H
#define ZELVORA_FRONTEND_CLIENTSETUP_H

class CBodyDecoder;
class CHttpClient;
class CImpBroxCmd;

// Wires the front end's callbacks, the driver and the decoder of downloaded
// bodies (may be NULL: bodies stored as received) into the client and hands
// it the request headers of the command line, in the header map's order.
void SetUpClient(CHttpClient& client, CImpBroxCmd& cmd, CBodyDecoder* decoder);

#endif
