# An application server for the interop tests: Starlette on uvicorn, on
# 127.0.0.1 and the port given, until it is stopped.
#   /usr/bin/python3 app_server.py PORT
# POST /form         reads a multipart form; answers one line a field:
#                    "field NAME file FILENAME size N sha256 HEX" (file parts)
#                    or "field NAME value TEXT"
# GET /one-chunk?size=N
#                    N bytes of the test pattern, written by the application
#                    as one piece, so they go as one chunk
# GET /gz/text       the test text, gzipped by the middleware, with a length
# GET /gz/stream     the same text written in pieces, gzipped and chunked
import hashlib
import sys

import uvicorn
from starlette.applications import Starlette
from starlette.middleware.gzip import GZipMiddleware
from starlette.responses import PlainTextResponse, StreamingResponse
from starlette.routing import Mount, Route


def pattern(size):
    # Bytes (i * 37 + 11) mod 256 in blocks of 251: the tests make the same.
    block = bytes((i * 37 + 11) % 256 for i in range(251))
    return (block * (size // len(block) + 1))[:size]


def text():
    return "".join("line %d of the test text\n" % i for i in range(20000)).encode()


async def form(request):
    lines = []
    async with request.form() as fields:
        for name, value in fields.multi_items():
            if isinstance(value, str):
                lines.append("field %s value %s" % (name, value))
            else:
                data = await value.read()
                lines.append("field %s file %s size %d sha256 %s" % (
                    name, value.filename, len(data), hashlib.sha256(data).hexdigest()))
    return PlainTextResponse("".join(line + "\n" for line in lines))


async def one_chunk(request):
    data = pattern(int(request.query_params.get("size", "0")))

    async def pieces():
        yield data

    return StreamingResponse(pieces(), media_type="application/octet-stream")


async def gz_text(request):
    return PlainTextResponse(text())


async def gz_stream(request):
    body = text()

    async def pieces():
        for at in range(0, len(body), 50000):
            yield body[at:at + 50000]

    return StreamingResponse(pieces(), media_type="text/plain")


gzipped = GZipMiddleware(Starlette(routes=[Route("/text", gz_text), Route("/stream", gz_stream)]))
app = Starlette(routes=[
    Route("/form", form, methods=["POST"]),
    Route("/one-chunk", one_chunk),
    Mount("/gz", app=gzipped),
])

if __name__ == "__main__":
    uvicorn.run(app, host="127.0.0.1", port=int(sys.argv[1]), log_level="warning", lifespan="off")
