#include "engine/EarlierFile.h"

std::string CEarlierFile::AsideName(const std::string& path) { return path + "_zelvor.bk"; }

int CEarlierFile::Find(const std::string& path) {
  m_Lock.Close();
  m_Path = path;
  const char* name = path.c_str();
  m_Place = PathIsRegularFile(name) && !PathIsLink(name) ? EARLIER_AT_PATH : EARLIER_NONE;
  return m_Place == EARLIER_AT_PATH;
}

int CEarlierFile::MoveAside(FileHandle lock) {
  CFileOwner held(lock);
  if (m_Place != EARLIER_AT_PATH) return 0;
  const char* path = m_Path.c_str();
  // Locked before the move, so that no other run can begin to write it on
  // the way; a file that cannot be read is moved without the lock.
  if (!held.get()) {
    held.reset(FileOpen(path, FILE_OPEN_READ_EXISTING, FILE_SHARE_EXCLUSIVE));
    if (!held.get() && PathIsLockedByAnother(path)) return 0;
  }
  if (!FileMove(path, Aside().c_str())) return 0;
  m_Lock = std::move(held);
  m_Place = EARLIER_ASIDE;
  return 1;
}

int CEarlierFile::BringBack() {
  if (m_Place != EARLIER_ASIDE) return 1;
  if (!FileMove(Aside().c_str(), m_Path.c_str())) return 0;
  m_Lock.Close();
  m_Place = EARLIER_AT_PATH;
  return 1;
}

int CEarlierFile::Drop() {
  if (m_Place != EARLIER_ASIDE) return 1;
  // Whatever took the path is not the body: the earlier file is all there is.
  if (!PathIsRegularFile(m_Path.c_str()) || PathIsLink(m_Path.c_str())) {
    BringBack();
    return -1;
  }
  if (!FileDelete(Aside().c_str())) return 0;
  m_Lock.Close();
  m_Place = EARLIER_NONE;
  return 1;
}
