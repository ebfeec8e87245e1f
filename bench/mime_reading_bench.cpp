// Reading MIME messages, N against 4N: storing a message of N parts as part
// items, decoding an HTML body of N kilobytes, converting a message of N
// GIF pictures and the HTML that shows them into rich text, and converting
// messages of many parts (attached files, pictures, or both) from 50,000
// to 200,000 parts, where the time of 4N parts is to stay within 4.5 times
// that of N. Each run works on a note of its own, made outside the timing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"
#include "mime/mime_reading.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

const char kGif[] = "R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==";

// A multipart/related message: the HTML showing count pictures, then the
// pictures.
std::string PicturesMessage(int count) {
    std::string html = "<p>Pictures";
    for (int n = 0; n < count; ++n) html += " <img src=\"cid:p" + std::to_string(n) + "\"> word" + std::to_string(n);
    html += "</p>\r\n";
    std::string message = "Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n" +
                          html;
    for (int n = 0; n < count; ++n)
        message += "--b\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\nContent-ID: <p" +
                   std::to_string(n) + ">\r\n\r\n" + kGif + "\r\n";
    return message + "--b--\r\n";
}

// A quoted-printable UTF-8 body of about kilobytes KB.
std::string QuotedPrintableMessage(int kilobytes) {
    std::string body;
    while (body.size() < static_cast<std::size_t>(kilobytes) * 1024)
        body += "<p>Caf=C3=A9 cr=C3=A8me, a line of words to read =\r\nand a soft break</p>\r\n";
    return "Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n" + body;
}

struct Scratch {
    talix_bench::ScratchDir dir;
    plat::DBHANDLE db = 0;
    Scratch() { plat::DbCreate(dir.File("mime.nsf").c_str(), &db); }
    ~Scratch() { plat::DbClose(db); }
};

void BM_StoreMessage(benchmark::State& state) {
    Scratch scratch;
    const std::string message = PicturesMessage(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        plat::NOTEHANDLE note = 0;
        plat::NoteCreate(scratch.db, &note);
        state.ResumeTiming();
        if (plat::MimeStoreMessage(note, "Body", 4, message.data(), message.size()) != 0)
            state.SkipWithError("the message was not stored");
        state.PauseTiming();
        plat::NoteClose(note);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StoreMessage)->Arg(250)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_DecodeHtmlBody(benchmark::State& state) {
    Scratch scratch;
    const std::string message = QuotedPrintableMessage(static_cast<int>(state.range(0)));
    plat::NOTEHANDLE note = 0;
    plat::NoteCreate(scratch.db, &note);
    plat::MimeStoreMessage(note, "Body", 4, message.data(), message.size());
    for (auto _ : state) {
        char* text = nullptr;
        std::uint32_t length = 0;
        if (talix::ImportMIMEHTMLBody(note, "Body", "text/html", &text, &length) != 0)
            state.SkipWithError("the body was not read");
        std::free(text);
    }
    plat::NoteClose(note);
}
BENCHMARK(BM_DecodeHtmlBody)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

// Each run converts the message stored in a new note; only the conversion
// is timed (the storing of the message and the closing of the note are not).
void ConvertEachRun(benchmark::State& state, const std::string& message) {
    Scratch scratch;
    RARIvoSession session;
    session.SetUp();
    for (auto _ : state) {
        state.PauseTiming();
        plat::NOTEHANDLE note = 0;
        plat::NoteCreate(scratch.db, &note);
        if (plat::MimeStoreMessage(note, "Body", 4, message.data(), message.size()) != 0)
            state.SkipWithError("the message was not stored");
        state.ResumeTiming();
        {
            ZervaRTItem item(&session);
            if (item.ConnectBackend(note, "Body", 0) != 0 || item.connected == 0)
                state.SkipWithError("the message was not converted");
        }
        state.PauseTiming();
        plat::NoteClose(note);
        state.ResumeTiming();
    }
}

void BM_ConvertPictures(benchmark::State& state) {
    ConvertEachRun(state, PicturesMessage(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ConvertPictures)->Arg(25)->Arg(100)->Unit(benchmark::kMillisecond);

// A multipart/mixed message of a short HTML body and count parts: with
// files, small attachments of names of their own but every eighth, which
// are all "notes.txt"; with
// pictures, GIF parts the HTML shows; with both, half of each.
std::string ManyPartsMessage(int count, bool files, bool pictures) {
    std::string html = "<p>Many parts";
    std::string parts;
    for (int n = 0; n < count; ++n) {
        const bool picture = pictures && (!files || n % 2 == 0);
        if (picture) {
            html += "<img src=\"cid:p" + std::to_string(n) + "\">";
            parts += "--m\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\nContent-ID: <p" +
                     std::to_string(n) + ">\r\n\r\n" + kGif + "\r\n";
        } else {
            parts += "--m\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\"" +
                     (n % 8 == 1 ? std::string("notes.txt") : "part" + std::to_string(n) + ".bin") +
                     "\"\r\n\r\npart " + std::to_string(n) + "\r\n";
        }
    }
    return "Content-Type: multipart/mixed; boundary=m\r\n\r\n--m\r\nContent-Type: text/html\r\n\r\n" + html +
           "</p>\r\n" + parts + "--m--\r\n";
}

// Each size runs five times; the least time of the five is the one to
// compare, the others showing what else the machine was doing.
void ConvertManyParts(benchmark::State& state, bool files, bool pictures) {
    ConvertEachRun(state, ManyPartsMessage(static_cast<int>(state.range(0)), files, pictures));
    state.counters["parts"] = static_cast<double>(state.range(0));
}

double Least(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

void BM_ConvertManyAttachedFiles(benchmark::State& state) { ConvertManyParts(state, true, false); }
void BM_ConvertManyPictures(benchmark::State& state) { ConvertManyParts(state, false, true); }
void BM_ConvertManyMixedParts(benchmark::State& state) { ConvertManyParts(state, true, true); }
BENCHMARK(BM_ConvertManyAttachedFiles)->Arg(50000)->Arg(200000)->Iterations(1)->Repetitions(5)
    ->ComputeStatistics("min", Least)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertManyPictures)->Arg(50000)->Arg(200000)->Iterations(1)->Repetitions(5)
    ->ComputeStatistics("min", Least)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertManyMixedParts)->Arg(50000)->Arg(200000)->Iterations(1)->Repetitions(5)
    ->ComputeStatistics("min", Least)->Unit(benchmark::kMillisecond);

} // namespace
