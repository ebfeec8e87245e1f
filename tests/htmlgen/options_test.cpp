// The generation's option keywords as the context holds them after reading:
// clamps, presets, the switches some keywords share, and the keywords read
// only under a condition.
#include <gtest/gtest.h>

#include <string>

#include "generation_fixture.h"
#include "htmlgen/xml_gen_context.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using htmlgen_test::Context;
namespace sw = talix::sw;
using talix::IsOn;
using talix::kFormatText;
using talix::kFormatXHTML;

// The messages shown while the options are read, run together.
std::string g_readMessages;
void CollectReadMessage(const char* text, plat::WORD) { g_readMessages += text; }

TEST(GenerationOptions, NumbersAreClamped) {
    RARIvoSession session;
    Context context(&session);
    ASSERT_EQ(context.Read(nullptr), 0);
    EXPECT_EQ(context->maxLineLength, 0);
    EXPECT_EQ(context->eventChunkSize, 32703u);
    EXPECT_EQ(context->charsetId, 32);

    context.Read("MaxLineLength=19");
    EXPECT_EQ(context->maxLineLength, 72);
    context.Read("MaxLineLength=100 ContentTransferEncoding=quoted-printable");
    EXPECT_EQ(context->maxLineLength, 76);
    EXPECT_EQ(context->newlines, talix::NewlineMode::CRLF);
    context.Read("AddNewlines=NL");
    EXPECT_EQ(context->maxLineLength, 72);
    EXPECT_EQ(context->newlines, talix::NewlineMode::NL);
    context.Read(nullptr, talix::kFormatHTML, 1);   // MIME mode
    EXPECT_EQ(context->maxLineLength, 72);
    EXPECT_EQ(context->eventChunkSize, 8192u);
    EXPECT_EQ(context->newlines, talix::NewlineMode::CRLF);

    context.Read("OutputToEvent=5");
    EXPECT_EQ(context->eventChunkSize, 80u);
    context.Read("OutputToEvent=100000 OutputAllToEvent=Yes");
    EXPECT_EQ(context->eventChunkSize, 64382u);
    EXPECT_TRUE(IsOn(context.get(), sw::kOutputAllToEvent));
    context.Read("OutputToEvent=No");
    EXPECT_EQ(context->eventChunkSize, 0u);
    context.Read("OutputAllToEvent=Yes");   // read only with OutputToEvent=
    EXPECT_FALSE(IsOn(context.get(), sw::kOutputAllToEvent));
    context.Read("OutputToEvent=5", kFormatText);   // plain text reads no event keyword
    EXPECT_EQ(context->eventChunkSize, 32703u);

    context.Read("CharsetNum=abc Charset=UTF-8");
    EXPECT_EQ(context->charsetId, 32);
    context.Read("Charset=UTF-8");
    EXPECT_EQ(context->charsetId, 171);
    context.Read("PreserveTabs=200");
    EXPECT_EQ(context->tabSpaces, 80);
    context.Read("PreserveTabs=Yes");
    EXPECT_EQ(context->tabSpaces, 3);

    context.Read("StandardFontTags=Yes Font6=72 Font1=72 Font2=9");
    EXPECT_EQ(context->fontSizeThresholds[5], 72);
    EXPECT_EQ(context->fontSizeThresholds[0], 8);
    EXPECT_EQ(context->fontSizeThresholds[1], 9);
    context.Read("Font2=9");   // read only with StandardFontTags
    EXPECT_EQ(context->fontSizeThresholds[1], 10);
}

TEST(GenerationOptions, PresetsAndSharedSwitches) {
    RARIvoSession session;
    Context context(&session);
    context.Read("Duzuvore=");
    EXPECT_TRUE(IsOn(context.get(), sw::kFragment));
    EXPECT_TRUE(IsOn(context.get(), sw::kDoclinksRelative));
    EXPECT_FALSE(IsOn(context.get(), sw::kWAICompliant));
    EXPECT_FALSE(IsOn(context.get(), sw::kEncapsulateTable));
    EXPECT_EQ(context->tabSpaces, 3);
    EXPECT_EQ(context->forceFontColor, 1);
    context.Read("Zelunda=Yes Generation=Full SeeAttachedMsg=see");
    EXPECT_TRUE(IsOn(context.get(), sw::kWAICompliant));
    EXPECT_FALSE(IsOn(context.get(), sw::kFragment));   // a later keyword overrides the preset
    EXPECT_STREQ(context->texts.seeAttachedMsg, "see");
    context.Read("Zelunda=No SeeAttachedMsg=see");
    EXPECT_TRUE(IsOn(context.get(), sw::kEncapsulateTable));
    EXPECT_EQ(context->texts.seeAttachedMsg, nullptr);

    // MIME mode without a file: a fragment, unless Generation= says otherwise.
    context.Read(nullptr, talix::kFormatHTML, 1);
    EXPECT_TRUE(IsOn(context.get(), sw::kFragment));
    EXPECT_EQ(context->attachmentHandling, 8);
    context.Read("Generation=Full", talix::kFormatHTML, 1);
    EXPECT_FALSE(IsOn(context.get(), sw::kFragment));

    context.Read("ConsolidatePABIDS=Yes");
    EXPECT_EQ(context->options & 0x2800u, 0x2800u);
    context.Read("AutoClass=All AutoTag=row");
    EXPECT_TRUE(IsOn(context.get(), sw::kAutoClassTable) && IsOn(context.get(), sw::kAutoClassColumn));
    EXPECT_FALSE(IsOn(context.get(), sw::kAutoClassSection));
    EXPECT_TRUE(IsOn(context.get(), sw::kAutoTagRow));
    EXPECT_FALSE(IsOn(context.get(), sw::kAutoTagTable));
    context.Read("SuppressFonts=colour,size ExtendedSpecialCharacters=No AllowEmptyDivs=Maybe");
    EXPECT_TRUE(IsOn(context.get(), sw::kSuppressFontColor) && IsOn(context.get(), sw::kSuppressFontSize));
    EXPECT_FALSE(IsOn(context.get(), sw::kSuppressFontFace));
    EXPECT_TRUE(IsOn(context.get(), sw::kExtendedSpecialCharacters));
    EXPECT_TRUE(IsOn(context.get(), sw::kAllowEmptyDivs));

    // The image switches count only when images go to disk or resources.
    context.Read("ImageOverwrite=No ImageResourceToDisk=No");
    EXPECT_FALSE(IsOn(context.get(), sw::kImageOverwrite));
    context.Read("ImageHandling=disk ImageOverwrite=No ImageDirectory=/tmp/images/");
    EXPECT_TRUE(IsOn(context.get(), sw::kImageOverwrite));
    EXPECT_TRUE(IsOn(context.get(), sw::kImageResourceToDisk));
    EXPECT_STREQ(context->texts.imageDirectory, "/tmp/images");
}

TEST(GenerationOptions, TextsTheirDefaultsAndFallbacks) {
    RARIvoSession session;
    Context context(&session);
    context.Read(nullptr);
    EXPECT_STREQ(context->texts.doclinkText, "Link");
    EXPECT_STREQ(context->texts.imageURLDirectory, "");
    EXPECT_STREQ(context->texts.linkURLDirectory, "/");
    EXPECT_EQ(context->texts.collapseGraphic, nullptr);
    EXPECT_STREQ(context->faces[2].families, "monospace");

    context.Read("DefaultURLDirectory=a\\b\\ InPlaceImageURLDirectory=*NONE* CollapseGraphic=c/ "
                 "InitialFont1=Arial SubstituteFont2=Georgia,serif UseCurlyBracesInline=yes");
    EXPECT_STREQ(context->texts.imageURLDirectory, "a/b");
    EXPECT_STREQ(context->texts.attachmentURLDirectory, "a/b");
    EXPECT_STREQ(context->texts.linkURLDirectory, "a/b");
    EXPECT_STREQ(context->texts.inPlaceImageURLDirectory, "");
    EXPECT_STREQ(context->texts.collapseGraphic, "c");
    EXPECT_STREQ(context->faces[0].name, "Arial");
    EXPECT_STREQ(context->faces[1].families, "Georgia,serif");
    EXPECT_STREQ(context->openBrace, "{");

    // The built-in pictures: "cid:" references in MIME mode without a
    // file, the caller's substitutions, fixed names with local symbols.
    context.Read(nullptr, talix::kFormatHTML, 1);
    EXPECT_STREQ(context->texts.collapseGraphic, "cid:_a_collapse");
    EXPECT_STREQ(context->texts.linkURLDirectory, "notes://");
    ZervaRTChunk::ImageOffsetInfo tab;
    tab.name = "_a_tabletab";
    tab.source = "tab.gif";
    context->images = &tab;
    context.Read("LocalDominoSymbols=Yes DoclinkGraphic=mine.gif");
    EXPECT_STREQ(context->texts.tabGraphic, "tab.gif");
    EXPECT_STREQ(context->texts.doclinkGraphic, "doclink.gif");
    context->images = nullptr;

    // The derived subdirectory of a run to a file, and UseUNID=.
    context->callerFile = stdout;
    context->callerFileName = "c:\\out\\report.v1.htm";
    context.Read("UseUNID=0123456789abcdef0123456789ABCDEF");
    EXPECT_STREQ(context->texts.defaultSubdirectory, "report");
    EXPECT_EQ(context->useUnid, 1);
    EXPECT_EQ(context->unidWords[1], 0x89abcdefu);
    context->callerFile = nullptr;
    g_readMessages.clear();
    plat::RegisterMessageProc(CollectReadMessage);
    context.Read("UseUNID=0123456789abcdef0123456789ABCDEG");
    plat::RegisterMessageProc(nullptr);
    EXPECT_EQ(context->useUnid, 0);
    EXPECT_EQ(g_readMessages, "UseUNID property pair specifies invalid UNID.  Ignored!");

    // Plain text reads only the keywords every format reads.
    context.Read("DoclinkText=Go Translation=Yes", kFormatText);
    EXPECT_EQ(context->texts.doclinkText, nullptr);
    EXPECT_TRUE(IsOn(context.get(), sw::kTranslation));
    context.Read("DoclinkText=Go", kFormatXHTML);
    EXPECT_STREQ(context->texts.doclinkText, "Go");
}

} // namespace
