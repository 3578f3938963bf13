#include "frontend/ImpBroxCmd.h"

#include "engine/HttpClient.h"

CImpBroxCmd::CImpBroxCmd()
    : m_OutputToFile(0),
      m_Upload(0),
      m_PostData(0),
      m_HeadData(0),
      m_HeadOnly(0),
      m_Origin(0),
      m_Compress(0),
      m_PostDataIsFile(0),
      m_HeadDataIsFile(0),
      m_Append(0),
      m_Step(0),
      m_Progress(0),
      m_StepSize(1024),
      m_Port(0),
      m_PostDataLength(0),
      m_BatchTooLarge(0),
      m_Answer(NULL) {}

std::string CImpBroxCmd::AnswerEncoding() const {
  return m_Answer ? m_Answer->GetContentEncoding() : std::string();
}
