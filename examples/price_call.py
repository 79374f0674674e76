"""Prices the European call S = K = 100, volatility 0.2, r 0.05, q 0, T 1 year
by a closed form, by finite differences and by Monte Carlo through ctypes,
and checks each against Black-Scholes (10.4506).

    python3 price_call.py PREFIX/lib/libtarvic.so

Exit status 0 when all three priced and agreed."""
import ctypes
import sys

lib = ctypes.CDLL(sys.argv[1] if len(sys.argv) > 1 else "libtarvic.so")
D, I, P, IP = ctypes.c_double, ctypes.c_int32, ctypes.POINTER(ctypes.c_double), ctypes.POINTER(ctypes.c_int32)

# Result texts are counted strings: take them as plain addresses, read them
# with the length function and free them with the library's own function.
lib.tvStringByteLen.restype = ctypes.c_uint32
lib.tvStringByteLen.argtypes = [ctypes.c_void_p]
lib.tvFreeString.restype = None
lib.tvFreeString.argtypes = [ctypes.c_void_p]


def take_text(address):
    """The text's bytes as a str ("" for success), the text freed."""
    text = ctypes.string_at(address, lib.tvStringByteLen(address)).decode("latin-1")
    lib.tvFreeString(address)
    return text


def value_at(grid, value, n, x):
    """The value at x read off the nodes 0..n as the header describes: in the
    interval [grid[i], grid[i+1]] holding x, the cubic through the nodes
    i-1 .. i+2, or the straight line in the first two and last two intervals."""
    i = max(k for k in range(n) if grid[k] <= x)
    if i < 2 or i > n - 3:
        w = (x - grid[i]) / (grid[i + 1] - grid[i])
        return (1 - w) * value[i] + w * value[i + 1]
    total = 0.0
    for j in range(i - 1, i + 3):
        weight = 1.0
        for m in range(i - 1, i + 3):
            if m != j:
                weight *= (x - grid[m]) / (grid[j] - grid[m])
        total += weight * value[j]
    return total


lib.VanillaBS.restype = D
lib.VanillaBS.argtypes = [P] * 5 + [D] * 6 + [I]
lib.VelkOptionPricer.restype = ctypes.c_void_p
lib.VelkOptionPricer.argtypes = [P] * 6 + [D, I, D, D, D, D, IP, I, I, I, I, D, I, I, I, I]
lib.VelkOptionPricerMC.restype = ctypes.c_void_p
lib.VelkOptionPricerMC.argtypes = [P] * 5 + [IP] + [D] * 8 + [I] * 17

S, K, sigma, r, q, T = 100.0, 100.0, 0.2, 0.05, 0.0, 1.0
exact = 10.450584
bad = False

# Closed form: the order is intRate, divYield, volatility, expiry.
v, d, g, th, ve = (D() for _ in range(5))
lib.VanillaBS(v, d, g, th, ve, S, K, r, q, sigma, T, 0)
print(f"closed form        {v.value:.5f}")
bad |= abs(v.value - exact) > 1e-4

# Finite differences: expiry, volatility, intRate, divYield. The arrays
# hold entries 0..50000; the value at S is read off the nodes around it.
N = 50001
grid, value, delta, gamma, theta, vega = ((D * N)() for _ in range(6))
steps = I(200)  # in: asset steps to the strike; out: the last node's index
text = take_text(lib.VelkOptionPricer(grid, value, delta, gamma, theta, vega, K, 200, T, sigma, r, q,
                                      ctypes.byref(steps), 0, 0, 2, 0, 0.0, 0, 0, 0, 1))
if steps.value > 50000 or text:
    print("finite differences failed:", text or f"{steps.value + 1} nodes")
    bad = True
else:
    fd = value_at(grid, value, steps.value, S)
    print(f"finite differences {fd:.5f}")
    bad |= abs(fd - exact) > 2e-4

# Monte Carlo on 2^16 Sobol points, one exact step; sensitivity arrays that
# are not asked for may be None. The last row is the estimate.
rows = I(0)
text = take_text(lib.VelkOptionPricerMC(value, None, None, None, None, ctypes.byref(rows), S, K, 0.0, 0.0,
                                        T, sigma, r, q, 1, 0, 0, 1, 0, 16, 10, 3, 0, 0, 1, 0, 1, 0, 0, 1, 0))
if text or rows.value < 1:
    print("Monte Carlo failed:", text)
    bad = True
else:
    print(f"Monte Carlo        {value[rows.value - 1]:.5f}")
    bad |= abs(value[rows.value - 1] - exact) > 0.05

sys.exit(1 if bad else 0)
