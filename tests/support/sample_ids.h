// The endpoints of the embedded sample system.
#pragma once

namespace velto::testing::sample {

constexpr const char* kSpeakers = "{0.0.0.00000000}.{4f6a2c1e-8b3d-4e7a-9c51-2d8f0b6e3a17}";
constexpr const char* kDigital = "{0.0.0.00000000}.{a3e91b57-2c64-4d0f-8e1a-7b5c9d3f6e20}";
constexpr const char* kHeadphones = "{0.0.0.00000000}.{c7d2e4f8-5a1b-4c3e-9f60-1e8b2a7d4c95}";
constexpr const char* kMicrophone = "{0.0.1.00000000}.{6b8e3f2a-9d4c-4a71-b5e0-3c9f1a8d2e64}";
constexpr const char* kLineIn = "{0.0.1.00000000}.{d1f5a9c3-7e2b-4b86-a0d4-5f3e8c1b9a72}";

}  // namespace velto::testing::sample
