// Pass-through HTML of the awkward documents: the snippets and the stretch
// of records that carries one.
#include <string>

#include "core/signatures.h"
#include "support/awkward_builder.h"

namespace talix_test {

const std::vector<AwkwardSnippet>& AwkwardSnippets() {
    static const std::vector<AwkwardSnippet> snippets = {
        {"<B>Bold in upper case</B>", 0},
        {"<STYLE>p.zq { color: red } td > b { font-weight: normal }</STYLE>", 0},
        {"<STYLE TYPE=\"text/css\"><!-- body { font: 10pt } --></STYLE>", 0},
        {"<script>if (a && b < c) { x = \"&amp;\"; }</script>", 0},
        {"<SCRIPT language=\"JavaScript\">var s = '<b>' + (1 < 2 && 3 > 2);\nvar t = ']]>';</SCRIPT>", 0},
        {"<script><!--\ndocument.write(\"<p>x</p>\");\n//--></script>", 0},
        {"<script type=\"text/javascript\">var open = \"<div>\";", kFaultUnclosed | kFaultSwallows},
        {"<br>", 0},
        {"<BR><br/><br />", 0},
        {"<p>an unclosed paragraph", 0},
        {"<div>an unclosed division", kFaultUnclosed},
        {"<b><i>misnested</b></i>", kFaultUnclosed},
        {"<span style=\"color:red\">span <div>a division in a span</div></span>", kFaultUnclosed},
        {"<!-- a comment -- with two dashes -->", kFaultInvalid},
        {"<!-- an unclosed comment", kFaultUnclosed | kFaultSwallows | kFaultInvalid},
        {"<!---->", 0},
        {"&nbsp;&copy;&amp;&lt;&#169;&#x263A;&euro;", 0},
        {"&bogus; & && a < b > c", kFaultInvalid},
        {"<![CDATA[ x < y && z ]]>", kFaultInvalid},
        {"<?php echo \"x\"; ?>", kFaultInvalid},
        {"<?xml version=\"1.0\"?>", kFaultInvalid},
        {"</div></span></table></p>", kFaultUnclosed},
        {"<table><tr><td>an unclosed table", kFaultUnclosed},
        {"<td>a stray cell</td>", kFaultUnclosed},
        {"<ul><li>one<li>two</ul>", 0},
        {"<ol start=3 type=A><li>x<li>y</ol>", 0},
        {"<dl><dt>term<dd>definition</dl>", 0},
        {"<font color=red size=+1>font</FONT>", 0},
        {"<a href=\"zq.html\">an unclosed link", kFaultUnclosed},
        {"<a href=zq.html?a=1&b=2 title='a \"quoted\" title'>link</a>", 0},
        {"<a name=zqtop></a><A NAME=\"zqmid\">named</A>", 0},
        {"<img src=\"zq.gif\" alt=\"pic\"><IMG SRC=zq.gif ALT='single' WIDTH=10 ISMAP>", 0},
        {"<input type=checkbox checked><INPUT TYPE=TEXT VALUE=\"a&b\" DISABLED>", 0},
        {"<hr noshade><HR SIZE=3>", 0},
        {"<p align=center>Centre</P>", 0},
        {"<o:p></o:p>", kFaultInvalid},
        {"<zqx>an unknown element</zqx>", kFaultInvalid},
        {"<textarea>raw <b>text</b>", kFaultUnclosed | kFaultSwallows},
        {"<title>a title in the body</title>", kFaultInvalid},
        {"<meta http-equiv=\"refresh\" content=\"60\">", kFaultInvalid},
        {"<form action=\"/zq\"><input name=q><select><option>One<option selected>Two</select></form>", 0},
        {"<blockquote>a quotation</blockquote>", 0},
        {"<pre>  pre\n  formatted &amp; <i>kept</i></pre>", 0},
        {"<h1>Heading</h1><H2>Second</H2>", 0},
        {"<center>centred</center>", 0},
        {"<BLINK>blink</BLINK>", kFaultInvalid},
        {"<iframe src=\"zq.html\"></iframe>", 0},
        {"<noscript>no script</noscript>", 0},
        {"<object data=\"zq.swf\"><param name=a value=b></object>", 0},
        {"<![if !supportLists]>*<![endif]>", kFaultInvalid},
        {"<div id=\"a\" id=\"b\" class=x class=y>repeated attributes</div>", kFaultInvalid},
        {"<p class=a\"b>a bad quote</p>", kFaultInvalid},
        {"<table border=1><caption>Cap</caption><tr><th>H<td>D</table>", 0},
        {"<span onclick=\"alert('x') && go(1 < 2)\">click</span>", 0},
        {"<b>bold across\nlines</b>", 0},
        {"<u>under</u><s>strike</s><sup>up</sup><sub>down</sub>", 0},
        {"<div style=\"position:absolute; top:0\"><table><tr><td><div>deep</div></td></tr></table></div>", 0},
        {"<p>\xC3\xA9t\xC3\xA9 \xCE\xA9 \xE6\xBC\xA2</p>", 0},
    };
    return snippets;
}

namespace awkward {

void Builder::Passthrough(const Place& place) {
    Used(kAwkwardPassthrough);
    const std::vector<AwkwardSnippet>& snippets = AwkwardSnippets();
    const std::size_t index = choose().Below(static_cast<std::uint32_t>(snippets.size()));
    document().snippets.push_back(index);
    document().passthroughFaults |= snippets[index].faults;
    if (!place.leading) PlainParagraph(place, static_cast<int>(choose().Below(3)));

    Put(HostRecord(talix::kSigHtmlBegin, 8), "pass-through begin");
    // The snippet in one or more runs, cut at ASCII characters; now and
    // then a paragraph record between them.
    std::string html = snippets[index].html;
    if (spec().foreignWords) html = "<p>" + Words(3, false) + "</p>" + html;
    std::size_t from = 0;
    while (from < html.size() && Ok()) {
        std::size_t to = html.size();
        if (choose().Percent(40)) {
            to = from + 1 + choose().Below(static_cast<std::uint32_t>(html.size() - from));
            while (to < html.size() && static_cast<unsigned char>(html[to]) >= 0x80) ++to;
        }
        Run(html.substr(from, to - from), RandomFont(), "pass-through text");
        if (to < html.size() && choose().Percent(20)) Put(HostRecord(talix::kSigParagraph, 2), "pass-through line");
        from = to;
    }
    Put(HostRecord(talix::kSigHtmlEnd, 8), "pass-through end");
    Runs(place, static_cast<int>(choose().Below(4)));
}

} // namespace awkward

} // namespace talix_test
