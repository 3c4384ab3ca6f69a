// The settings of a device's current profile: the JSON document of the profile file with
// typed accessors for the sections every device type shares.
#pragma once

#include <json/value.h>

#include <string>
#include <vector>

#include "profile/profile_records.h"

namespace morva {

// Light modes from this one on play the user's custom effects (entry mode - 10).
inline constexpr int kFirstCustomEffectMode = 10;

class CBasicProfiledata {
public:
    CBasicProfiledata() = default;
    virtual ~CBasicProfiledata() = default;
    CBasicProfiledata(const CBasicProfiledata&) = default;
    CBasicProfiledata& operator=(const CBasicProfiledata&) = default;

    // Paths (an empty path is ignored).
    void SetDocumentPath(const std::string& path);
    // No file: loads read nothing and saves fail.
    void ClearDocumentPath() { documentPath_.clear(); }
    const std::string& GetDocumentPath() const { return documentPath_; }
    void SetDefaultDocumentPath(const std::string& path);
    const std::string& GetDefaultDocumentPath() const { return defaultDocumentPath_; }
    void SetLightConfigPath(const std::string& path) { lightConfigPath_ = path; }
    const std::string& GetLightConfigPath() const { return lightConfigPath_; }
    void SetDeviceIndex(int index) { deviceIndex_ = index; }
    // The element of the light configuration's "LightInfo" that lists this device's custom
    // effects: the device kind, as the page's effect names come from there.
    void SetLightConfigIndex(int index) { lightConfigIndex_ = index < 0 ? 0 : index; }

    // A file without a document is completed from the default profile and written back.
    Json::Value LoadDocument(const std::string& path);
    Json::Value LoadOtherDocument(const std::string& path);
    Json::Value LoadLightConfig(const std::string& path);

    // Virtual operations, in slot order. Results: 0 written, -1 the write failed.
    virtual int Save();
    virtual int SaveDocumentTo(const Json::Value& document, const std::string& path);
    virtual int SaveOtherDocument(const std::string& path);
    virtual int WriteWholeFile(const Json::Value& value, const std::string& path);

    // Shared sections of the document. Writes change memory only; Save() stores them.
    LightInfo ReadLightInfo();
    void WriteLightInfo(const LightInfo& info);
    AudioLightInfo ReadAudioLightInfo();
    void WriteAudioLightInfo(const AudioLightInfo& info);
    std::vector<LightInfo> ReadLightList();
    // Custom effect of the current LightInfo's "SelectItem", from the light configuration.
    // `firstCustomMode` is the family's first user effect mode.
    std::vector<LightEffect> ReadEffectList(int firstCustomMode = kFirstCustomEffectMode);
    std::vector<KeyListEntry> ReadKeyList();
    void WriteKeyList(const std::vector<KeyListEntry>& list);
    std::vector<KeyListEntry> ReadOtherKeyList();
    void WriteOtherKeyList(const std::vector<KeyListEntry>& list);

    // Copies kept by the accessors, read by the device between calls.
    const LightInfo& CurrentLightInfo() const { return lightInfo_; }
    const AudioLightInfo& CurrentAudioLightInfo() const { return audioLightInfo_; }
    const std::vector<LightInfo>& LightList() const { return lightList_; }
    const std::vector<LightEffect>& EffectList() const { return effectList_; }
    const std::vector<KeyListEntry>& KeyList() const { return keyList_; }
    const std::vector<KeyListEntry>& OtherKeyList() const { return otherKeyList_; }

    const Json::Value& Document() const { return document_; }
    const Json::Value& OtherDocument() const { return otherDocument_; }
    const Json::Value& LightConfig() const { return lightConfig_; }

protected:
    // The document a subclass reads and writes its own sections in.
    Json::Value& MutableDocument() { return document_; }
    int DeviceIndex() const { return deviceIndex_ < 0 ? 0 : deviceIndex_; }

private:
    Json::Value LoadInto(Json::Value& target, const std::string& path);
    static std::vector<KeyListEntry> ReadKeyListOf(const Json::Value& document);
    static void WriteKeyListTo(Json::Value& document, const std::vector<KeyListEntry>& list);

    std::string documentPath_;
    std::string defaultDocumentPath_;
    LightInfo lightInfo_;
    AudioLightInfo audioLightInfo_;
    std::vector<LightInfo> lightList_;
    Json::Value document_;
    Json::Value otherDocument_;
    std::string lightConfigPath_;
    std::vector<LightEffect> effectList_;
    Json::Value lightConfig_;
    std::vector<KeyListEntry> keyList_;
    std::vector<KeyListEntry> otherKeyList_;
    Json::ArrayIndex lightConfigIndex_ = 0;
    int deviceIndex_ = 0;
};

}  // namespace morva
