#include "catalogue/audio_format_catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace strovanik::catalogue {
namespace {

const std::vector<std::pair<std::uint16_t, std::string>> kAudioEntries = {
    {1, " Microsoft PCM"},
    {2, " Microsoft ADPCM"},
    {5, " IBM CVSD"},
    {6, " CCITT A-Law"},
    {7, " CCITT u-Law"},
    {10, " WM Speech DMO"},
    {16, " OKI ADPCM"},
    {17, " IMA ADPCM"},
    {18, " MediaSpace ADPCM (Videologic)"},
    {19, " Sierra ADPCM"},
    {20, " G723 ADPCM (Antex Electronics Corp.)"},
    {21, " DIGISTD (DSP Solutions, Inc)"},
    {22, " DIGIFIX (DSP Solutions, Inc)"},
    {23, " Dialogic Oki ADPCM"},
    {32, " Yamaha ADPCM"},
    {33, " Speech Compression"},
    {34, " DSP Group TrueSpeech[TM]"},
    {35, " Echo Speech Corporation"},
    {36, " Audio File AF36"},
    {37, " Audio Processing Technology"},
    {38, " Audio File AF10"},
    {48, " Dolby Laboratories AC2"},
    {49, " GSM 6.10"},
    {51, " Antex ADPCME"},
    {52, " Control Resources Limited VQLPC"},
    {53, " DSP Solutions REAL"},
    {54, " DSP Solutions ADPCM"},
    {55, " Control Resources Limited CR10"},
    {56, " Natural MicroSystems VBX ADPCM"},
    {57, " Crystal Semiconductor IMA ADPCM"},
    {64, " Antex G721 ADPCM"},
    {65, " IBM mu-law"},
    {66, " IBM a-law"},
    {67, " IBM AVC Adaptive Differential PCM"},
    {80, " Microsoft MPEG "},
    {85, " DivX MPEG Layer-3 (MP3)"},
    {98, " Voxware v1.1.6/v1.1.8 File-Mode Codecs"},
    {105, " Voxware v1.1.8 Bitstream-Mode Codecs"},
    {112, " Lernout & Hauspie CELP 4.8kbit/s"},
    {113, " Lernout & Hauspie SBC 8kbit/s"},
    {114, " Lernout & Hauspie SBC 12kbit/s"},
    {115, " Lernout & Hauspie SBC 16kbit/s"},
    {116, " Voxware MetaVoice"},
    {117, " Voxware MetaSound"},
    {304, " ACELP.net"},
    {352, " Windows Media Audio Format V1"},
    {353, " Windows Media Audio DMO"},
    {512, " Creative ADPCM"},
    {514, " Creative Fast Speech8"},
    {515, " Creative Fast Speech10"},
    {768, "Fujitsu Corp. FM Towns Sound "},
    {4096, " Olivetti GSM"},
    {4097, " Olivetti ADPCM"},
    {4098, " Olivetti CELP"},
    {4099, " Olivetti SBC"},
    {4100, " Olivetti OPR"},
    {8192, " AC3 Prologic (DD)"},
    {8193, " Digital Theater System(DTS) "},
    {26447, " Ogg Vorbis (mode1)"},
    {26448, " Ogg Vorbis (mode2)"},
    {26449, " Ogg Vorbis (mode3)"},
    {26479, " Ogg Vorbis (mode1+)"},
    {26480, " Ogg Vorbis (mode2+)"},
    {26481, " Ogg Vorbis (mode3+)"},
};

TEST(AudioFormatCatalogue, EveryEntry) {
    for (const auto& [tag, description] : kAudioEntries) {
        EXPECT_EQ(describeAudioFormat(tag), description) << tag;
    }
}

TEST(AudioFormatCatalogue, HoldsSixtyFourUniqueTags) {
    std::set<std::uint16_t> tags;
    for (const auto& entry : kAudioEntries) tags.insert(entry.first);
    EXPECT_EQ(tags.size(), 64u);
    EXPECT_EQ(kAudioEntries.size(), 64u);
    EXPECT_EQ(audioFormatCount(), 64u);
}

TEST(AudioFormatCatalogue, SpacesAtTheEdgesOfDescriptions) {
    EXPECT_EQ(describeAudioFormat(0x55), " DivX MPEG Layer-3 (MP3)");
    EXPECT_EQ(describeAudioFormat(0x50), " Microsoft MPEG ");
    EXPECT_EQ(describeAudioFormat(768), "Fujitsu Corp. FM Towns Sound ");
    EXPECT_EQ(describeAudioFormat(0x2001), " Digital Theater System(DTS) ");
}

TEST(AudioFormatCatalogue, UnlistedTagsGiveTheirNumber) {
    struct Case {
        std::uint16_t tag;
        std::string description;
    };
    const std::vector<Case> cases = {
        {0, "0 Unknown"},         {3, "3 Unknown"},         {4, "4 Unknown"},
        {8, "8 Unknown"},         {9, "9 Unknown"},         {50, "50 Unknown"},
        {255, "255 Unknown"},     {0x2002, "8194 Unknown"}, {0x8000, "32768 Unknown"},
        {65534, "65534 Unknown"}, {65535, "65535 Unknown"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(describeAudioFormat(c.tag), c.description);
    }
    // Every tag gets a text, and only the listed ones a description.
    std::set<std::uint16_t> listed;
    for (const auto& entry : kAudioEntries) listed.insert(entry.first);
    for (std::uint32_t tag = 0; tag <= 0xFFFF; ++tag) {
        const auto t = static_cast<std::uint16_t>(tag);
        if (listed.count(t) != 0) continue;
        ASSERT_EQ(describeAudioFormat(t), std::to_string(tag) + " Unknown");
    }
}

}  // namespace
}  // namespace strovanik::catalogue
