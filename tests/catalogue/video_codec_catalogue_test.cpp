#include "catalogue/video_codec_catalogue.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace strovanik::catalogue {
namespace {

using namespace std::string_literals;
using container::FourCc;
using container::fourCc;

std::string describe(std::string_view handler, std::string_view compression = "") {
    return describeVideoCodec(fourCc(handler), fourCc(compression));
}

// Every key but "DIVX" and its description.
const std::vector<std::pair<std::string, std::string>> kVideoEntries = {
    {"3IV2", " 3ivx D4 Video"},
    {"ANIM", " Intel - RDX"},
    {"AP41", " AngelPotion (alleged to be a rip-off of Microsoft MPEG-4)"},
    {"AUR2", " AuraVision - Aura 2 Codec - YUV 422"},
    {"AURA", " AuraVision - Aura 1 Codec - YUV 411"},
    {"BT20", " Brooktree - MediaStream codec"},
    {"BTCV", " Brooktree - Composite Video codec"},
    {"BW10", " Broadway I-Frame MPEG."},
    {"CC12", " Intel - YUV12 codec"},
    {"CDVC", " Canopus - DV codec"},
    {"CHAM", " Winnov, Inc. - MM_WINNOV_CAVIARA_CHAMPAGNE"},
    {"CPLA", " Weitek - 4:2:0 YUV Planar"},
    {"CRAM", " Microsoft Video 1"},
    {"CVID", " Supermac - Cinepak"},
    {"CWLT", " reserved"},
    {"CYUV", " Creative Labs, Inc - Creative Labs YUV"},
    {"DIB ", " MS Bitmap"},
    {"DIV1", " DivX MPEG-4 V1"},
    {"DIV2", " DivX MPEG-4 V2"},
    {"DIV3", " DivX MPEG-4 V3.xx Low-Motion"},
    {"DIV4", " DivX MPEG-4 V3.2x Fast-Motion"},
    {"DX50", " DivX Codec V5.xx"},
    {"DMB1", " Motion JPEG"},
    {"DUCK", " Duck Corp. - TrueMotion 1.0"},
    {"DVE2", " InSoft - DVE-2 Videoconferencing codec"},
    {"DVSD", " DV Video Encoder"},
    {"DXT1", " reserved"},
    {"DXT2", " reserved"},
    {"DXT3", " reserved"},
    {"DXT4", " reserved"},
    {"DXT5", " reserved"},
    {"DXTC", " DirectX Texture Compression"},
    {"FLJP", " D-Vision - Field Encoded Motion JPEG With LSI Bitstream Format"},
    {"FVF1", " Iterated Systems, Inc. - Fractal Video Frame"},
    {"GWLT", " reserved"},
    {"H260", " Intel - Conferencing codec"},
    {"H261", " Intel - Conferencing codec"},
    {"H262", " Intel - Conferencing codec"},
    {"H263", " Intel - Conferencing codec"},
    {"H264", " Intel - Conferencing codec"},
    {"H265", " Intel - Conferencing codec"},
    {"H266", " Intel - Conferencing codec"},
    {"H267", " Intel - Conferencing codec"},
    {"H268", " Intel - Conferencing codec"},
    {"H269", " Intel - Conferencing codec"},
    {"I263", " Intel - I263"},
    {"I420", " Intel 4:2:0 Video V2.50"},
    {"IAN ", " Intel - RDX"},
    {"ICLB", " InSoft - CellB Videoconferencing codec"},
    {"IF09", " Intel - Intel Intermediate YUV9"},
    {"IJPG", " Intergraph JPEG"},
    {"ILVC", " Intel - Layered Video"},
    {"ILVR", " ITU-T - H.263+ compression standard"},
    {"IRAW", " Intel - YUV uncompressed"},
    {"IV30", " Intel - Indeo Video 3.0 codec"},
    {"IV31", " Intel - Indeo Video 3.1 codec"},
    {"IV32", " Intel - Indeo Video 3.2 codec"},
    {"IV33", " Intel - Indeo Video 3.3 codec"},
    {"IV34", " Intel - Indeo Video 3.4 codec"},
    {"IV35", " Intel - Indeo Video 3.5 codec"},
    {"IV36", " Intel - Indeo Video 3.6 codec"},
    {"IV37", " Intel - Indeo Video 3.7 codec"},
    {"IV38", " Intel - Indeo Video 3.8 codec"},
    {"IV39", " Intel - Indeo Video 3.9 codec"},
    {"IV40", " Intel - Indeo Video 4.0 codec"},
    {"IV41", " Intel - Indeo Video 4.1 codec"},
    {"IV42", " Intel - Indeo Video 4.2 codec"},
    {"IV43", " Intel - Indeo Video 4.3 codec"},
    {"IV44", " Intel - Indeo Video 4.4 codec"},
    {"IV45", " Intel - Indeo Video 4.5 codec"},
    {"IV46", " Intel - Indeo Video 4.6 codec"},
    {"IV47", " Intel - Indeo Video 4.7 codec"},
    {"IV48", " Intel - Indeo Video 4.8 codec"},
    {"IV49", " Intel - Indeo Video 4.9 codec"},
    {"IV50", " Intel - Indeo Video 5.xx"},
    {"IYUV", " Intel IYUV codec"},
    {"JPEG", " Microsoft - Still Image JPEG DIB"},
    {"M261", " Microsoft H.261 Video"},
    {"M263", " Microsoft H.263 Video"},
    {"MJPG", " Microsoft - Motion JPEG DIB Format"},
    {"MP41", " Microsoft - MPEG-4 V1"},
    {"MP42", " Microsoft - MPEG-4 V2"},
    {"MP43", " Microsoft - MPEG-4 V3"},
    {"MP44", " Microsoft - MPEG-4 V4"},
    {"MPEG", " Chromatic - MPEG 1 Video I Frame"},
    {"MPG4", " Microsoft MPEG-4"},
    {"MPGI", " Editable MPEG (Sigma Designs)"},
    {"MRCA", " FAST Multimedia - Mrcodec"},
    {"MRLE", " Microsoft - Run Length Encoding(RLE)"},
    {"MSVC", " Microsoft - Video 1"},
    {"MVI1", " Motion Pixels"},
    {"MWV1", " Aware Motion Wavelets Video Codec "},
    {"NTN1", " Nogatech - Video Compression 1"},
    {"PGVV", " Radius Video Vision"},
    {"PHMO", " IBM - Photomotion"},
    {"QPEG", " Q-Team Dr.Knabe 's QPEG video compressor"},
    {"QPEQ", " Q-Team - QPEG 1.1 Format video codec"},
    {"RAW ", " Uncompressed"},
    {"RGB ", " Uncompressed"},
    {"RGBT", " Computer Concepts - 32 bit support"},
    {"RLE ", " Microsoft - Run Length Encoding"},
    {"RLE8", " Microsoft - Run Length Encoding"},
    {"RPZA", " Apple Video 16 Bit"},
    {"RT21", " Intel - Indeo 2.1 codec"},
    {"RVX ", " Intel - RDX"},
    {"SDCC", " Sun Communications - Digital Camera Codec"},
    {"SFMC", " Crystal Net - SFM Codec"},
    {"SMSC", " Radius - proprietary"},
    {"SMSD", " Radius - proprietary"},
    {"SPIG", " Radius Spigot"},
    {"SPLC", " Splash Studios - ACM audio codec"},
    {"SQZ2", " Microsoft - VXtreme Video Codec V2"},
    {"SV10", " Sorenson - Video R1"},
    {"TLMS", " TeraLogic - Motion Intraframe Codec"},
    {"TLST", " TeraLogic - Motion Intraframe Codec"},
    {"TM20", " Duck Corp. - TrueMotion 2.0"},
    {"TMIC", " TeraLogic - Motion Intraframe Codec"},
    {"TMOT", " Horizons Technology - TrueMotion Video Compression Algorithm"},
    {"TR20", " Duck Corp. - TrueMotion RT 2.0"},
    {"TSCC", " TechSmith Screen Capture Codec"},
    {"UCOD", " ClearVideo (Iterated Systems)"},
    {"ULTI", " IBM - Ultimotion"},
    {"V422", " Vitec Multimedia - 24 bit YUV 4:2:2 format (CCIR 601)."},
    {"V655", " Vitec Multimedia - 16 bit YUV 4:2:2 format."},
    {"VCR1", " ATI - VCR 1.0"},
    {"VDCT", " Vitec Multimedia - Video Maker Pro DIB"},
    {"VDOM", " VDOnet VDOWave "},
    {"VDOW", " VDOWave (VDONet)"},
    {"VIDS", " Vitec Multimedia - YUV 4:2:2 CCIR 601 for V422"},
    {"VIVO", " Vivo - H.263 Video Codec"},
    {"VIXL", " Miro Computer Products AG - for use with the Miro line of capture cards."},
    {"VLV1", " Videologic - VLCAP.DRV"},
    {"VP60", " VP60 Simple Profile"},
    {"VP61", " VP61 Advanced Profile"},
    {"WBVC", " Winbond Electronics - W9960"},
    {"WHAM", " Microsoft Video 1"},
    {"WMV3", " Microsoft Windows Media Video 9"},
    {"X263", " Xirlink H.263 Video Codec"},
    {"XLV0", " NetXL, Inc. - XL Video Decoder"},
    {"XMPG", " Editable (I frames only) MPEG  (Xing)"},
    {"XVID", " XviD MPEG-4 Video Codec"},
    {"YC12", " Intel - YUV12 codec"},
    {"YU92", " Intel - YUV"},
    {"YUV8", " Winnov, Inc. - MM_WINNOV_CAVIAR_YUV8"},
    {"YUV9", " Intel - Indeo Raw YUV9"},
    {"YUYV", " Canopus - YUYV compressor"},
    {"ZPEG", " Metheus - Video Zipper"},
};

TEST(VideoCodecCatalogue, EveryEntryUnderItsKeyInAnyCase) {
    for (const auto& [key, description] : kVideoEntries) {
        EXPECT_EQ(describe(key), description) << key;
        std::string lower = key;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(describe(lower), description) << lower;
        // The compression code plays no part outside "DIVX".
        EXPECT_EQ(describe(key, "DX50"), description) << key;
    }
}

TEST(VideoCodecCatalogue, HoldsOneHundredAndFortyEightUniqueKeys) {
    std::set<std::string> keys;
    for (const auto& entry : kVideoEntries) keys.insert(entry.first);
    keys.insert("DIVX");
    EXPECT_EQ(keys.size(), kVideoEntries.size() + 1);
    EXPECT_EQ(keys.size(), 148u);
    EXPECT_EQ(videoCodecCount(), 148u);
}

TEST(VideoCodecCatalogue, DivxDependsOnTheCompressionCodeAsRead) {
    struct Case {
        std::string handler;
        std::string compression;
        std::string description;
    };
    const std::vector<Case> cases = {
        {"DIVX", "DIVX", " DivX Codec V4.xx"},
        {"divx", "DIVX", " DivX Codec V4.xx"},
        {"DivX", "DX50", " DivX Codec V5.xx"},
        {"DIVX", "DX50", " DivX Codec V5.xx"},
        {"DIVX", "divx", " DivX Codec Unknown Ver"},
        {"DIVX", "dx50", " DivX Codec Unknown Ver"},
        {"DIVX", "", " DivX Codec Unknown Ver"},
        {"DIVX", "XVID", " DivX Codec Unknown Ver"},
        {"DX50", "", " DivX Codec V5.xx"},
        {"dx50", "DIVX", " DivX Codec V5.xx"},
        {"DIV3", "DIVX", " DivX MPEG-4 V3.xx Low-Motion"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(describe(c.handler, c.compression), c.description)
            << c.handler << " / " << c.compression;
    }
}

TEST(VideoCodecCatalogue, ZeroAndUnknownCodes) {
    struct Case {
        FourCc handler;
        std::string description;
    };
    const std::vector<Case> cases = {
        {FourCc{}, " Uncompressed"},
        {fourCc("RAW "), " Uncompressed"},
        {fourCc("rgb "), " Uncompressed"},
        {fourCc("DIB "), " MS Bitmap"},
        {fourCc("dib "), " MS Bitmap"},
        // Keys are compared on all four characters: a NUL is not a space.
        {fourCc("DIB"), "DIB\0 Unknown "s},
        {FourCc{0, 0, 0, 'X'}, "\0\0\0X Unknown "s},
        {FourCc{' ', ' ', ' ', ' '}, "     Unknown "},
        {fourCc("Abc1"), "Abc1 Unknown "},
        {fourCc("abc1"), "abc1 Unknown "},
        {fourCc("H26X"), "H26X Unknown "},
        {fourCc("hevc"), "hevc Unknown "},
        // Bytes of 0x80 and above decode as CP949; a bad sequence shows U+FFFD.
        {FourCc{0xB0, 0xA1, 0xC7, 0xD1}, "가한 Unknown "},
        {FourCc{'x', 0xFF, 'y', 'z'}, "x\xEF\xBF\xBDyz Unknown "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(describeVideoCodec(c.handler, fourCc("DIVX")), c.description);
    }
}

}  // namespace
}  // namespace strovanik::catalogue
