// The request data the command line names: post data and extra headers,
// given as text or loaded from a file (CImpBroxCmd::LoadPostDataFile,
// LoadHeadDataFile and ParseHeadData live in RequestData.cpp too).
#ifndef ZELVORA_FRONTEND_REQUESTDATA_H
#define ZELVORA_FRONTEND_REQUESTDATA_H

class CImpBroxCmd;

// The post data of -d: the bytes loaded from the file, the text, or none
// (NULL and 0).
void GetPostData(const CImpBroxCmd& cmd, const char** data, int* length);

#endif
