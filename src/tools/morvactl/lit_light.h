// The lighting commands the lit accessories (pad, headset) share: their setting record read
// back from the device, one line for it, and a light change checked against the record.
#pragma once

#include <string>

#include "device/models/lit_accessory_device.h"
#include "tools/morvactl/cli_common.h"

namespace morva::cli {

// The record of the profile the device is on, and that profile; a command result code.
int ReadLitRecord(CLitAccessoryDevice& model, LitRecord& record, int& active);

// "light N NAME brightness B speed S colour RRGGBB [multicolour]\n".
std::string LitLightLine(const CLitAccessoryDevice& model, const LitRecord& record);

// Applies `request` through the model and reads the record back: its line in `line`, else
// false with the reason in `error`; `name` is the device as the user named it.
bool ChangeLitLight(CLitAccessoryDevice& model, const LightRequest& request,
                    const std::string& name, std::string& line, std::string& error);

}  // namespace morva::cli
