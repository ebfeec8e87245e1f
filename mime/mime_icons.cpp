#include "mime/mime_icons.h"

namespace talix {

namespace {

// Four-colour GIFs (white, black, grey, dark blue).
constexpr MimeIcon kIcons[kMimeIconCount] = {
    // a page
    {IconKind::DocLink, "_a_doclink", "doclink.gif",
     "R0lGODlhDAAOAIEAAP///wAAAICAgAAAoCwAAAAADAAOAAACfwRBEARBEARBEATDMAzDMARBEARDEARBMAxBEARDEARBMARD"
     "EARDEARBMAzDEARDcBzHEQTBEARDEARBEATBEARDcBzHcRzBEARDEARBEATBEARDcBzHcRzBEARDEARBEATBEARDcBzHcQTB"
     "EATDMAzDMAzDEARBEARBEARBEAUAOw=="},
    // a list of rows
    {IconKind::ViewLink, "_a_viewlink", "viewlink.gif",
     "R0lGODlhDAAOAIEAAP///wAAAICAgAAAoCwAAAAADAAOAAACfwRBEARBEARBEATDMAzDMAzDEARDURRFURTFEARDEARBEATB"
     "EATDcRzHcRzHEARDEARBEATBEATDcRzHcRzHEARDEARBEATBEATDcRzHcRzHEARDEARBEATBEATDcRzHcRzHEARDEARBEATB"
     "EATDMAzDMAzDEARBEARBEARBEAUAOw=="},
    // a stack of disks
    {IconKind::DatabaseLink, "_a_dblink", "dblink.gif",
     "R0lGODlhDAAOAIEAAP///wAAAICAgAAAoCwAAAAADAAOAAACfwRBEARBEARBEARBMAzDMAxBEATBUBRFURRDEATDMAzDMAzD"
     "EARDEARBEATBEARDEARBEATBEATDUBRFURTDEARDMAzDMAzBEARDEARBEATBEARDEARBEATBEATDUBRFURTDEATBMAzDMAxD"
     "EARBEARBEARBEARBEARBEARBEAUAOw=="},
    // an anchor
    {IconKind::AnchorLink, "_an_anchorlink", "anchorlink.gif",
     "R0lGODlhDAAOAIEAAP///wAAAICAgAAAoCwAAAAADAAOAAACfwRBEARBEARBEARBEATDEARBEARBEAxBMARBEARBEATDEARB"
     "EARBEATBEARBEATBMAzDMAxDEARBEATBEARBEARBEATBEARBEARDEATBEATBEATDEATBEATDEATBMATBEAxDEARBMAzDMAxB"
     "EARBEATDEARBEARBEARBEARBEAUAOw=="},
    // a triangle pointing down
    {IconKind::Section, "_a_collapse", "collapse.gif",
     "R0lGODlhBwAHAIEAAP///wAAAICAgAAAoCwAAAAABwAHAAACJgRBEARBEAzDMAxBEAzDEARBEAxBEARBEARBEARBEARBEARB"
     "EEQBADs="},
    // a small frame
    {IconKind::TableTab, "_a_tabletab", "tabletab.gif",
     "R0lGODlhBwAHAIEAAP///wAAAICAgAAAoCwAAAAABwAHAAACJgRBEARBEAzDMAxBMARBMATBEATBEARDEARDEAzDMAxBEARB"
     "EEQBADs="},
    // an empty box
    {IconKind::Unchecked, "_a_unchecked", "unchecked.gif",
     "R0lGODlhBwAHAIEAAP///wAAAICAgAAAoCwAAAAABwAHAAACJgzDMAzDMARBEATDEARBEAxDEARBMAxBEATBMARBEATDMAzD"
     "MEwBADs="},
    // a box with a tick
    {IconKind::Checked, "_a_checked", "checked.gif",
     "R0lGODlhBwAHAIEAAP///wAAAICAgAAAoCwAAAAABwAHAAACJgzDMAzDMARBEATDEARBMAzDEARDMAzBMATBMATBEATDMAzD"
     "MEwBADs="},
};

} // namespace

const MimeIcon* MimeIcons() { return kIcons; }

const MimeIcon& MimeIconOf(IconKind kind) { return kIcons[static_cast<std::size_t>(kind)]; }

} // namespace talix
