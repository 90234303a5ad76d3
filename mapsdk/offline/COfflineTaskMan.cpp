#include "mapsdk/offline/COfflineTaskMan.h"

#include <string>

#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/CVerDatsetMan.h"
#include "mapsdk/offline/OLRecordFile.h"
#include "platform/foundation/Mutex.h"

namespace gmengine {

COfflineTaskMan::COfflineTaskMan(CVMapEngine* engine, CVMsgDispatcher* dispatcher, COLRecordMan* records,
                                 CVerDatsetMan* versions)
    : engine_(engine),
      dispatcher_(dispatcher),
      records_(records),
      versions_(versions),
      buffer_(kBufferSize) {}

COfflineTaskMan::~COfflineTaskMan() {
  if (dispatcher_) dispatcher_->KillTimer(ToInt(EngineTimer::OfflineTask));
}

int COfflineTaskMan::Init() {
  if (!engine_ || !CHttpClient::Init(engine_->Services().Sockets(), dispatcher_)) return 0;
  SetClientID(EngineClient::OfflineTask);
  SetReceiveBuffer(buffer_.data(), &received_, kBufferSize);
  SetUseGzip(1);
  SetTimeout(10000);
  if (dispatcher_) dispatcher_->SetTimer(ToInt(EngineTimer::OfflineTask), kTimerMs);
  return 1;
}

int COfflineTaskMan::AddHttpClient(CHttpClient* client) {
  if (!client) return 0;
  platform::MutexLock lock(mutex_);
  pool_.Add(client);
  return 1;
}

int COfflineTaskMan::AddCityListTask(int unused) {
  CUrlTranslater* urls = engine_ ? &engine_->UrlTranslater() : nullptr;
  CVString url;
  if (urls && urls->GetOfflineCityListUrl(url, unused)) {
    platform::MutexLock lock(mutex_);
    tasks_.Add(tag_CommonTask{2, url, -1});
  }
  return 0;
}

int COfflineTaskMan::AddUpdateFileTask(const CVString& fileName, int code) {
  CUrlTranslater* urls = engine_ ? &engine_->UrlTranslater() : nullptr;
  CVString url;
  if (urls && urls->GetOfflineUpdateUrl(url, fileName)) {
    platform::MutexLock lock(mutex_);
    tasks_.Add(tag_CommonTask{3, url, code});
  }
  return 0;
}

int COfflineTaskMan::GetTaskCount() const {
  platform::MutexLock lock(mutex_);
  return tasks_.GetSize();
}

int COfflineTaskMan::IsAnyClientBusy() const {
  {
    platform::MutexLock lock(mutex_);
    for (CHttpClient* client : pool_) {
      if (client->IsBusy()) return 1;
    }
  }
  return engine_ && engine_->IsAnySearchClientBusy() ? 1 : 0;
}

int COfflineTaskMan::OnMessage(int code, int wParam, int lParam) {
  const auto message = static_cast<EngineMsg>(code);
  if (message == EngineMsg::HttpMarkupPage) {
    RepeatRequest(0);
  } else if (message == EngineMsg::HttpData || message == EngineMsg::HttpComplete) {
    int kind = 0, param = -1;
    {
      // Only the answer of the request running takes its task off the queue, once: a late message
      // of an earlier request would drop a task that was never fetched.
      platform::MutexLock lock(mutex_);
      if (!running_ || lParam != sequence_) return 0;
      running_ = false;
      kind = runningKind_;
      param = runningParam_;
      if (!tasks_.IsEmpty()) tasks_.RemoveAt(0);
    }
    HandleAnswer(kind, param);
  } else if (message == EngineMsg::Timer && static_cast<EngineTimer>(wParam) == EngineTimer::OfflineTask) {
    RunNextTask();
  }
  return 0;
}

int COfflineTaskMan::RunNextTask() {
  tag_CommonTask task;
  int tag = 0;
  {
    platform::MutexLock lock(mutex_);
    if (tasks_.IsEmpty()) return 0;
  }
  if (IsBusy() || IsAnyClientBusy()) return 0;
  {
    platform::MutexLock lock(mutex_);
    if (tasks_.IsEmpty()) return 0;
    int earlier = -1;
    for (int i = 1; i < tasks_.GetSize(); ++i) {
      if (tasks_[i].kind < tasks_[0].kind) earlier = i;
    }
    if (earlier > 0) {
      tag_CommonTask moved = tasks_[earlier];
      tasks_.RemoveAt(earlier);
      tasks_.InsertAt(0, moved);
    }
    task = tasks_[0];
    running_ = true;
    runningKind_ = task.kind;
    runningUrl_ = task.url;
    runningParam_ = task.param;
    tag = ++sequence_;
  }
  RequestGet(task.url, tag, 1);
  return 1;
}

bool COfflineTaskMan::ParseDataVersion(const char* text, int length, COLVersionInfo& version) {
  olrecord::JsonPtr json = olrecord::ParseUtf8(text, length);
  if (!json) return false;
  const cJSON* result = cJSON_GetObjectItemCaseSensitive(json.get(), "result");
  int error = -1;
  if (!cJSON_IsObject(result) || !olrecord::GetInt(result, "error", error) || error != 0) return false;
  const cJSON* content = cJSON_GetObjectItemCaseSensitive(json.get(), "content");
  const cJSON* list = cJSON_GetObjectItemCaseSensitive(content, "version");
  const cJSON* first = cJSON_IsArray(list) ? cJSON_GetArrayItem(list, 0) : nullptr;
  if (!cJSON_IsObject(first)) return false;
  COLVersionInfo read;
  if (!olrecord::GetString(first, "pic_version", read.d) ||
      !olrecord::GetString(first, "task_version", read.m) ||
      !olrecord::GetString(first, "city_version", read.c)) {
    return false;
  }
  version = read;
  return true;
}

void COfflineTaskMan::HandleAnswer(int kind, int param) {
  int length = received_;
  if (length <= 0 || length > kBufferSize) return;
  COLRecordMan* records = records_;
  CVerDatsetMan* versions = versions_;
  const char* data = buffer_.data();
  if (kind == 3) {
    if (param == kSearch && records) {
      records->StoreSearchList(data, length);
    } else if (param == kHotcity && records) {
      records->StoreHotcities(data, length);
    } else if (param == kVerDatset && versions) {
      versions->CompareServerList(data, length);
    }
  } else if (kind == 2) {
    // Parsed as the UTF-8 it is; only the values are converted.
    COLVersionInfo version;
    if (ParseDataVersion(data, length, version) && records) {
      records->StoreVersion(version);
    }
  }
}

}  // namespace gmengine
