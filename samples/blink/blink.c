/* blink: toggles P1.0 with a delay loop. The smallest useful program for a first download. */
#include <8051.h>

static void delay(unsigned int n)
{
    unsigned int i;
    while (n--)
        for (i = 0; i < 120; i++)
            ;
}

void main(void)
{
    for (;;) {
        P1_0 = !P1_0;
        delay(500);
    }
}
