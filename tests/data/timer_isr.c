/* Timer 0 interrupt counts ticks; the main loop shows them on P2. Code placed at 0x1000. */
#include <8051.h>

volatile unsigned char ticks;

void timer0_isr(void) __interrupt(1)
{
    TH0 = 0x3C;
    TL0 = 0xB0;
    ++ticks;
}

void main(void)
{
    TMOD = 0x01;
    TH0 = 0x3C;
    TL0 = 0xB0;
    ET0 = 1;
    EA = 1;
    TR0 = 1;
    for (;;)
        P2 = ticks;
}
