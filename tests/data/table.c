/* Sends a constant table from code memory out of the UART. */
#include <8051.h>

static __code const unsigned char squares[256] = {
#define R(b) (unsigned char)((b) * (b)), (unsigned char)(((b) + 1) * ((b) + 1)), \
             (unsigned char)(((b) + 2) * ((b) + 2)), (unsigned char)(((b) + 3) * ((b) + 3))
    R(0), R(4), R(8), R(12), R(16), R(20), R(24), R(28), R(32), R(36), R(40), R(44), R(48), R(52), R(56), R(60),
    R(64), R(68), R(72), R(76), R(80), R(84), R(88), R(92), R(96), R(100), R(104), R(108), R(112), R(116),
    R(120), R(124), R(128), R(132), R(136), R(140), R(144), R(148), R(152), R(156), R(160), R(164), R(168),
    R(172), R(176), R(180), R(184), R(188), R(192), R(196), R(200), R(204), R(208), R(212), R(216), R(220),
    R(224), R(228), R(232), R(236), R(240), R(244), R(248), R(252)
};

static __code const char banner[] = "table ready\r\n";

static void put(unsigned char c)
{
    SBUF = c;
    while (!TI)
        ;
    TI = 0;
}

void main(void)
{
    unsigned int i;
    SCON = 0x50;
    TMOD = 0x20;
    TH1 = 0xFD;
    TR1 = 1;
    for (i = 0; banner[i]; ++i)
        put(banner[i]);
    for (;;)
        for (i = 0; i < 256; ++i)
            put(squares[i]);
}
