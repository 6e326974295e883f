MODULE flatsum;
(* gm2-skip: gm2 12 crashes compiling it; the outputs were computed by hand *)
(* Chains of operators are not nesting: a sum of 400 terms, a product, a chain of
   ORs and one of set unions, each written flat. *)
FROM InOut IMPORT WriteInt, WriteString, WriteLn;
TYPE Big = SET OF [0..199];
VAR i, s: INTEGER; x: REAL; b: Big;
BEGIN
  i := 3;
  s := i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 0 + i * 6 - 1 +
    i * 0 - 2 + i * 1 - 3 + i * 2 - 4 + i * 3 - 0 + i * 4 - 1 + i * 5 - 2 + i * 6 - 3 +
    i * 0 - 4 + i * 1 - 0 + i * 2 - 1 + i * 3 - 2 + i * 4 - 3 + i * 5 - 4 + i * 6 - 0 +
    i * 0 - 1 + i * 1 - 2 + i * 2 - 3 + i * 3 - 4 + i * 4 - 0 + i * 5 - 1 + i * 6 - 2 +
    i * 0 - 3 + i * 1 - 4 + i * 2 - 0 + i * 3 - 1 + i * 4 - 2 + i * 5 - 3 + i * 6 - 4 +
    i * 0 - 0 + i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 0 + i * 6 - 1 +
    i * 0 - 2 + i * 1 - 3 + i * 2 - 4 + i * 3 - 0 + i * 4 - 1 + i * 5 - 2 + i * 6 - 3 +
    i * 0 - 4 + i * 1 - 0 + i * 2 - 1 + i * 3 - 2 + i * 4 - 3 + i * 5 - 4 + i * 6 - 0 +
    i * 0 - 1 + i * 1 - 2 + i * 2 - 3 + i * 3 - 4 + i * 4 - 0 + i * 5 - 1 + i * 6 - 2 +
    i * 0 - 3 + i * 1 - 4 + i * 2 - 0 + i * 3 - 1 + i * 4 - 2 + i * 5 - 3 + i * 6 - 4 +
    i * 0 - 0 + i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 0 + i * 6 - 1 +
    i * 0 - 2 + i * 1 - 3 + i * 2 - 4 + i * 3 - 0 + i * 4 - 1 + i * 5 - 2 + i * 6 - 3 +
    i * 0 - 4 + i * 1 - 0 + i * 2 - 1 + i * 3 - 2 + i * 4 - 3 + i * 5 - 4 + i * 6 - 0 +
    i * 0 - 1 + i * 1 - 2 + i * 2 - 3 + i * 3 - 4 + i * 4 - 0 + i * 5 - 1 + i * 6 - 2 +
    i * 0 - 3 + i * 1 - 4 + i * 2 - 0 + i * 3 - 1 + i * 4 - 2 + i * 5 - 3 + i * 6 - 4 +
    i * 0 - 0 + i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 0 + i * 6 - 1 +
    i * 0 - 2 + i * 1 - 3 + i * 2 - 4 + i * 3 - 0 + i * 4 - 1 + i * 5 - 2 + i * 6 - 3 +
    i * 0 - 4 + i * 1 - 0 + i * 2 - 1 + i * 3 - 2 + i * 4 - 3 + i * 5 - 4 + i * 6 - 0 +
    i * 0 - 1 + i * 1 - 2 + i * 2 - 3 + i * 3 - 4 + i * 4 - 0 + i * 5 - 1 + i * 6 - 2 +
    i * 0 - 3 + i * 1 - 4 + i * 2 - 0 + i * 3 - 1 + i * 4 - 2 + i * 5 - 3 + i * 6 - 4 +
    i * 0 - 0 + i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 0 + i * 6 - 1 +
    i * 0 - 2 + i * 1 - 3 + i * 2 - 4 + i * 3 - 0 + i * 4 - 1 + i * 5 - 2 + i * 6 - 3 +
    i * 0 - 4 + i * 1 - 0 + i * 2 - 1 + i * 3 - 2 + i * 4 - 3 + i * 5 - 4 + i * 6 - 0 +
    i * 0 - 1 + i * 1 - 2 + i * 2 - 3 + i * 3 - 4 + i * 4 - 0 + i * 5 - 1 + i * 6 - 2 +
    i * 0 - 3 + i * 1 - 4 + i * 2 - 0 + i * 3 - 1 + i * 4 - 2 + i * 5 - 3 + i * 6 - 4 +
    i * 0 - 0 + i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 0 + i * 6 - 1 +
    i * 0 - 2 + i * 1 - 3 + i * 2 - 4 + i * 3 - 0 + i * 4 - 1 + i * 5 - 2 + i * 6 - 3 +
    i * 0 - 4 + i * 1 - 0 + i * 2 - 1 + i * 3 - 2 + i * 4 - 3 + i * 5 - 4 + i * 6 - 0 +
    i * 0 - 1 + i * 1 - 2 + i * 2 - 3 + i * 3 - 4 + i * 4 - 0 + i * 5 - 1 + i * 6 - 2 +
    i * 0 - 3 + i * 1 - 4 + i * 2 - 0 + i * 3 - 1 + i * 4 - 2 + i * 5 - 3 + i * 6 - 4 +
    i * 0 - 0 + i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 0 + i * 6 - 1 +
    i * 0 - 2 + i * 1 - 3 + i * 2 - 4 + i * 3 - 0 + i * 4 - 1 + i * 5 - 2 + i * 6 - 3 +
    i * 0 - 4 + i * 1 - 0 + i * 2 - 1 + i * 3 - 2 + i * 4 - 3 + i * 5 - 4 + i * 6 - 0 +
    i * 0 - 1 + i * 1 - 2 + i * 2 - 3 + i * 3 - 4 + i * 4 - 0 + i * 5 - 1 + i * 6 - 2 +
    i * 0 - 3 + i * 1 - 4 + i * 2 - 0 + i * 3 - 1 + i * 4 - 2 + i * 5 - 3 + i * 6 - 4 +
    i * 0 - 0 + i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 0 + i * 6 - 1 +
    i * 0 - 2 + i * 1 - 3 + i * 2 - 4 + i * 3 - 0 + i * 4 - 1 + i * 5 - 2 + i * 6 - 3 +
    i * 0 - 4 + i * 1 - 0 + i * 2 - 1 + i * 3 - 2 + i * 4 - 3 + i * 5 - 4 + i * 6 - 0 +
    i * 0 - 1 + i * 1 - 2 + i * 2 - 3 + i * 3 - 4 + i * 4 - 0 + i * 5 - 1 + i * 6 - 2 +
    i * 0 - 3 + i * 1 - 4 + i * 2 - 0 + i * 3 - 1 + i * 4 - 2 + i * 5 - 3 + i * 6 - 4 +
    i * 0 - 0 + i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 0 + i * 6 - 1 +
    i * 0 - 2 + i * 1 - 3 + i * 2 - 4 + i * 3 - 0 + i * 4 - 1 + i * 5 - 2 + i * 6 - 3 +
    i * 0 - 4 + i * 1 - 0 + i * 2 - 1 + i * 3 - 2 + i * 4 - 3 + i * 5 - 4 + i * 6 - 0 +
    i * 0 - 1 + i * 1 - 2 + i * 2 - 3 + i * 3 - 4 + i * 4 - 0 + i * 5 - 1 + i * 6 - 2 +
    i * 0 - 3 + i * 1 - 4 + i * 2 - 0 + i * 3 - 1 + i * 4 - 2 + i * 5 - 3 + i * 6 - 4 +
    i * 0 - 0 + i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 0 + i * 6 - 1 +
    i * 0 - 2 + i * 1 - 3 + i * 2 - 4 + i * 3 - 0 + i * 4 - 1 + i * 5 - 2 + i * 6 - 3 +
    i * 0 - 4 + i * 1 - 0 + i * 2 - 1 + i * 3 - 2 + i * 4 - 3 + i * 5 - 4 + i * 6 - 0 +
    i * 0 - 1 + i * 1 - 2 + i * 2 - 3 + i * 3 - 4 + i * 4 - 0 + i * 5 - 1 + i * 6 - 2 +
    i * 0 - 3 + i * 1 - 4 + i * 2 - 0 + i * 3 - 1 + i * 4 - 2 + i * 5 - 3 + i * 6 - 4 +
    i * 0 - 0 + i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 0 + i * 6 - 1 +
    i * 0 - 2 + i * 1 - 3 + i * 2 - 4 + i * 3 - 0 + i * 4 - 1 + i * 5 - 2 + i * 6 - 3 +
    i * 0 - 4 + i * 1 - 0 + i * 2 - 1 + i * 3 - 2 + i * 4 - 3 + i * 5 - 4 + i * 6 - 0 +
    i * 0 - 1 + i * 1 - 2 + i * 2 - 3 + i * 3 - 4 + i * 4 - 0 + i * 5 - 1 + i * 6 - 2 +
    i * 0 - 3 + i * 1 - 4 + i * 2 - 0 + i * 3 - 1 + i * 4 - 2 + i * 5 - 3 + i * 6 - 4 +
    i * 0 - 0 + i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 0 + i * 6 - 1 +
    i * 0 - 2 + i * 1 - 3 + i * 2 - 4 + i * 3 - 0 + i * 4 - 1 + i * 5 - 2 + i * 6 - 3 +
    i * 0 - 4 + i * 1 - 0;
  WriteInt(s, 0); WriteLn;
  IF (i = 100) OR (i = 101) OR (i = 102) OR (i = 103) OR (i = 104) OR (i = 105) OR
     (i = 106) OR (i = 107) OR (i = 108) OR (i = 109) OR (i = 110) OR (i = 111) OR
     (i = 112) OR (i = 113) OR (i = 114) OR (i = 115) OR (i = 116) OR (i = 117) OR
     (i = 118) OR (i = 119) OR (i = 120) OR (i = 121) OR (i = 122) OR (i = 123) OR
     (i = 124) OR (i = 125) OR (i = 126) OR (i = 127) OR (i = 128) OR (i = 129) OR
     (i = 130) OR (i = 131) OR (i = 132) OR (i = 133) OR (i = 134) OR (i = 135) OR
     (i = 136) OR (i = 137) OR (i = 138) OR (i = 139) OR (i = 140) OR (i = 141) OR
     (i = 142) OR (i = 143) OR (i = 144) OR (i = 145) OR (i = 146) OR (i = 147) OR
     (i = 148) OR (i = 149) OR (i = 150) OR (i = 151) OR (i = 152) OR (i = 153) OR
     (i = 154) OR (i = 155) OR (i = 156) OR (i = 157) OR (i = 158) OR (i = 159) OR
     (i = 160) OR (i = 161) OR (i = 162) OR (i = 163) OR (i = 164) OR (i = 165) OR
     (i = 166) OR (i = 167) OR (i = 168) OR (i = 169) OR (i = 170) OR (i = 171) OR
     (i = 172) OR (i = 173) OR (i = 174) OR (i = 175) OR (i = 176) OR (i = 177) OR
     (i = 178) OR (i = 179) OR (i = 180) OR (i = 181) OR (i = 182) OR (i = 183) OR
     (i = 184) OR (i = 185) OR (i = 186) OR (i = 187) OR (i = 188) OR (i = 189) OR
     (i = 190) OR (i = 191) OR (i = 192) OR (i = 193) OR (i = 194) OR (i = 195) OR
     (i = 196) OR (i = 197) OR (i = 198) OR (i = 199) OR (i = 200) OR (i = 201) OR
     (i = 202) OR (i = 203) OR (i = 204) OR (i = 205) OR (i = 206) OR (i = 207) OR
     (i = 208) OR (i = 209) OR (i = 210) OR (i = 211) OR (i = 212) OR (i = 213) OR
     (i = 214) OR (i = 215) OR (i = 216) OR (i = 217) OR (i = 218) OR (i = 219) OR
     (i = 220) OR (i = 221) OR (i = 222) OR (i = 223) OR (i = 224) OR (i = 225) OR
     (i = 226) OR (i = 227) OR (i = 228) OR (i = 229) OR (i = 230) OR (i = 231) OR
     (i = 232) OR (i = 233) OR (i = 234) OR (i = 235) OR (i = 236) OR (i = 237) OR
     (i = 238) OR (i = 239) OR (i = 240) OR (i = 241) OR (i = 242) OR (i = 243) OR
     (i = 244) OR (i = 245) OR (i = 246) OR (i = 247) OR (i = 248) OR (i = 249) OR
     (i = 250) OR (i = 251) OR (i = 252) OR (i = 253) OR (i = 254) OR (i = 255) OR
     (i = 256) OR (i = 257) OR (i = 258) OR (i = 259) OR (i = 260) OR (i = 261) OR
     (i = 262) OR (i = 263) OR (i = 264) OR (i = 265) OR (i = 266) OR (i = 267) OR
     (i = 268) OR (i = 269) OR (i = 270) OR (i = 271) OR (i = 272) OR (i = 273) OR
     (i = 274) OR (i = 275) OR (i = 276) OR (i = 277) OR (i = 278) OR (i = 279) OR
     (i = 280) OR (i = 281) OR (i = 282) OR (i = 283) OR (i = 284) OR (i = 285) OR
     (i = 286) OR (i = 287) OR (i = 288) OR (i = 289) OR (i = 290) OR (i = 291) OR
     (i = 292) OR (i = 293) OR (i = 294) OR (i = 295) OR (i = 296) OR (i = 297) OR
     (i = 298) OR (i = 299) OR (i = 300) OR (i = 301) OR (i = 302) OR (i = 303) OR
     (i = 304) OR (i = 305) OR (i = 306) OR (i = 307) OR (i = 308) OR (i = 309) OR
     (i = 310) OR (i = 311) OR (i = 312) OR (i = 313) OR (i = 314) OR (i = 315) OR
     (i = 316) OR (i = 317) OR (i = 318) OR (i = 319) OR (i = 320) OR (i = 321) OR
     (i = 322) OR (i = 323) OR (i = 324) OR (i = 325) OR (i = 326) OR (i = 327) OR
     (i = 328) OR (i = 329) OR (i = 330) OR (i = 331) OR (i = 332) OR (i = 333) OR
     (i = 334) OR (i = 335) OR (i = 336) OR (i = 337) OR (i = 338) OR (i = 339) OR
     (i = 340) OR (i = 341) OR (i = 342) OR (i = 343) OR (i = 344) OR (i = 345) OR
     (i = 346) OR (i = 347) OR (i = 348) OR (i = 349) OR (i = 350) OR (i = 351) OR
     (i = 352) OR (i = 353) OR (i = 354) OR (i = 355) OR (i = 356) OR (i = 357) OR
     (i = 358) OR (i = 359) OR (i = 360) OR (i = 361) OR (i = 362) OR (i = 363) OR
     (i = 364) OR (i = 365) OR (i = 366) OR (i = 367) OR (i = 368) OR (i = 369) OR
     (i = 370) OR (i = 371) OR (i = 372) OR (i = 373) OR (i = 374) OR (i = 375) OR
     (i = 376) OR (i = 377) OR (i = 378) OR (i = 379) OR (i = 380) OR (i = 381) OR
     (i = 382) OR (i = 383) OR (i = 384) OR (i = 385) OR (i = 386) OR (i = 387) OR
     (i = 388) OR (i = 389) OR (i = 390) OR (i = 391) OR (i = 392) OR (i = 393) OR
     (i = 394) OR (i = 395) OR (i = 396) OR (i = 397) OR (i = 398) OR (i = 399) OR
     (i = 400) OR (i = 401) OR (i = 402) OR (i = 403) OR (i = 404) OR (i = 405) OR
     (i = 406) OR (i = 407) OR (i = 408) OR (i = 409) OR (i = 410) OR (i = 411) OR
     (i = 412) OR (i = 413) OR (i = 414) OR (i = 415) OR (i = 416) OR (i = 417) OR
     (i = 418) OR (i = 419) OR (i = 420) OR (i = 421) OR (i = 422) OR (i = 423) OR
     (i = 424) OR (i = 425) OR (i = 426) OR (i = 427) OR (i = 428) OR (i = 429) OR
     (i = 430) OR (i = 431) OR (i = 432) OR (i = 433) OR (i = 434) OR (i = 435) OR
     (i = 436) OR (i = 437) OR (i = 438) OR (i = 439) OR (i = 440) OR (i = 441) OR
     (i = 442) OR (i = 443) OR (i = 444) OR (i = 445) OR (i = 446) OR (i = 447) OR
     (i = 448) OR (i = 449) OR (i = 450) OR (i = 451) OR (i = 452) OR (i = 453) OR
     (i = 454) OR (i = 455) OR (i = 456) OR (i = 457) OR (i = 458) OR (i = 459) OR
     (i = 460) OR (i = 461) OR (i = 462) OR (i = 463) OR (i = 464) OR (i = 465) OR
     (i = 466) OR (i = 467) OR (i = 468) OR (i = 469) OR (i = 470) OR (i = 471) OR
     (i = 472) OR (i = 473) OR (i = 474) OR (i = 475) OR (i = 476) OR (i = 477) OR
     (i = 478) OR (i = 479) OR (i = 480) OR (i = 481) OR (i = 482) OR (i = 483) OR
     (i = 484) OR (i = 485) OR (i = 486) OR (i = 487) OR (i = 488) OR (i = 489) OR
     (i = 490) OR (i = 491) OR (i = 492) OR (i = 493) OR (i = 494) OR (i = 495) OR
     (i = 496) OR (i = 497) OR (i = 498) OR (i = 499) THEN
    WriteString("found")
  ELSE
    WriteString("not found")
  END;
  WriteLn;
  IF (i < 4) AND (i < 5) AND (i < 6) AND (i < 7) AND (i < 8) AND (i < 9) AND (i < 10) AND
     (i < 11) AND (i < 12) AND (i < 13) AND (i < 14) AND (i < 15) AND (i < 16) AND
     (i < 17) AND (i < 18) AND (i < 19) AND (i < 20) AND (i < 21) AND (i < 22) AND
     (i < 23) AND (i < 24) AND (i < 25) AND (i < 26) AND (i < 27) AND (i < 28) AND
     (i < 29) AND (i < 30) AND (i < 31) AND (i < 32) AND (i < 33) AND (i < 34) AND
     (i < 35) AND (i < 36) AND (i < 37) AND (i < 38) AND (i < 39) AND (i < 40) AND
     (i < 41) AND (i < 42) AND (i < 43) AND (i < 44) AND (i < 45) AND (i < 46) AND
     (i < 47) AND (i < 48) AND (i < 49) AND (i < 50) AND (i < 51) AND (i < 52) AND
     (i < 53) AND (i < 54) AND (i < 55) AND (i < 56) AND (i < 57) AND (i < 58) AND
     (i < 59) AND (i < 60) AND (i < 61) AND (i < 62) AND (i < 63) AND (i < 64) AND
     (i < 65) AND (i < 66) AND (i < 67) AND (i < 68) AND (i < 69) AND (i < 70) AND
     (i < 71) AND (i < 72) AND (i < 73) AND (i < 74) AND (i < 75) AND (i < 76) AND
     (i < 77) AND (i < 78) AND (i < 79) AND (i < 80) AND (i < 81) AND (i < 82) AND
     (i < 83) AND (i < 84) AND (i < 85) AND (i < 86) AND (i < 87) AND (i < 88) AND
     (i < 89) AND (i < 90) AND (i < 91) AND (i < 92) AND (i < 93) AND (i < 94) AND
     (i < 95) AND (i < 96) AND (i < 97) AND (i < 98) AND (i < 99) AND (i < 100) AND
     (i < 101) AND (i < 102) AND (i < 103) AND (i < 104) AND (i < 105) AND (i < 106) AND
     (i < 107) AND (i < 108) AND (i < 109) AND (i < 110) AND (i < 111) AND (i < 112) AND
     (i < 113) AND (i < 114) AND (i < 115) AND (i < 116) AND (i < 117) AND (i < 118) AND
     (i < 119) AND (i < 120) AND (i < 121) AND (i < 122) AND (i < 123) AND (i < 124) AND
     (i < 125) AND (i < 126) AND (i < 127) AND (i < 128) AND (i < 129) AND (i < 130) AND
     (i < 131) AND (i < 132) AND (i < 133) AND (i < 134) AND (i < 135) AND (i < 136) AND
     (i < 137) AND (i < 138) AND (i < 139) AND (i < 140) AND (i < 141) AND (i < 142) AND
     (i < 143) AND (i < 144) AND (i < 145) AND (i < 146) AND (i < 147) AND (i < 148) AND
     (i < 149) AND (i < 150) AND (i < 151) AND (i < 152) AND (i < 153) AND (i < 154) AND
     (i < 155) AND (i < 156) AND (i < 157) AND (i < 158) AND (i < 159) AND (i < 160) AND
     (i < 161) AND (i < 162) AND (i < 163) AND (i < 164) AND (i < 165) AND (i < 166) AND
     (i < 167) AND (i < 168) AND (i < 169) AND (i < 170) AND (i < 171) AND (i < 172) AND
     (i < 173) AND (i < 174) AND (i < 175) AND (i < 176) AND (i < 177) AND (i < 178) AND
     (i < 179) AND (i < 180) AND (i < 181) AND (i < 182) AND (i < 183) AND (i < 184) AND
     (i < 185) AND (i < 186) AND (i < 187) AND (i < 188) AND (i < 189) AND (i < 190) AND
     (i < 191) AND (i < 192) AND (i < 193) AND (i < 194) AND (i < 195) AND (i < 196) AND
     (i < 197) AND (i < 198) AND (i < 199) AND (i < 200) AND (i < 201) AND (i < 202) AND
     (i < 203) AND (i < 204) AND (i < 205) AND (i < 206) AND (i < 207) AND (i < 208) AND
     (i < 209) AND (i < 210) AND (i < 211) AND (i < 212) AND (i < 213) AND (i < 214) AND
     (i < 215) AND (i < 216) AND (i < 217) AND (i < 218) AND (i < 219) AND (i < 220) AND
     (i < 221) AND (i < 222) AND (i < 223) AND (i < 224) AND (i < 225) AND (i < 226) AND
     (i < 227) AND (i < 228) AND (i < 229) AND (i < 230) AND (i < 231) AND (i < 232) AND
     (i < 233) AND (i < 234) AND (i < 235) AND (i < 236) AND (i < 237) AND (i < 238) AND
     (i < 239) AND (i < 240) AND (i < 241) AND (i < 242) AND (i < 243) AND (i < 244) AND
     (i < 245) AND (i < 246) AND (i < 247) AND (i < 248) AND (i < 249) AND (i < 250) AND
     (i < 251) AND (i < 252) AND (i < 253) AND (i < 254) AND (i < 255) AND (i < 256) AND
     (i < 257) AND (i < 258) AND (i < 259) AND (i < 260) AND (i < 261) AND (i < 262) AND
     (i < 263) AND (i < 264) AND (i < 265) AND (i < 266) AND (i < 267) AND (i < 268) AND
     (i < 269) AND (i < 270) AND (i < 271) AND (i < 272) AND (i < 273) AND (i < 274) AND
     (i < 275) AND (i < 276) AND (i < 277) AND (i < 278) AND (i < 279) AND (i < 280) AND
     (i < 281) AND (i < 282) AND (i < 283) AND (i < 284) AND (i < 285) AND (i < 286) AND
     (i < 287) AND (i < 288) AND (i < 289) AND (i < 290) AND (i < 291) AND (i < 292) AND
     (i < 293) AND (i < 294) AND (i < 295) AND (i < 296) AND (i < 297) AND (i < 298) AND
     (i < 299) AND (i < 300) AND (i < 301) AND (i < 302) AND (i < 303) AND (i < 304) AND
     (i < 305) AND (i < 306) AND (i < 307) AND (i < 308) AND (i < 309) AND (i < 310) AND
     (i < 311) AND (i < 312) AND (i < 313) AND (i < 314) AND (i < 315) AND (i < 316) AND
     (i < 317) AND (i < 318) AND (i < 319) AND (i < 320) AND (i < 321) AND (i < 322) AND
     (i < 323) AND (i < 324) AND (i < 325) AND (i < 326) AND (i < 327) AND (i < 328) AND
     (i < 329) AND (i < 330) AND (i < 331) AND (i < 332) AND (i < 333) AND (i < 334) AND
     (i < 335) AND (i < 336) AND (i < 337) AND (i < 338) AND (i < 339) AND (i < 340) AND
     (i < 341) AND (i < 342) AND (i < 343) AND (i < 344) AND (i < 345) AND (i < 346) AND
     (i < 347) AND (i < 348) AND (i < 349) AND (i < 350) AND (i < 351) AND (i < 352) AND
     (i < 353) AND (i < 354) AND (i < 355) AND (i < 356) AND (i < 357) AND (i < 358) AND
     (i < 359) AND (i < 360) AND (i < 361) AND (i < 362) AND (i < 363) AND (i < 364) AND
     (i < 365) AND (i < 366) AND (i < 367) AND (i < 368) AND (i < 369) AND (i < 370) AND
     (i < 371) AND (i < 372) AND (i < 373) AND (i < 374) AND (i < 375) AND (i < 376) AND
     (i < 377) AND (i < 378) AND (i < 379) AND (i < 380) AND (i < 381) AND (i < 382) AND
     (i < 383) AND (i < 384) AND (i < 385) AND (i < 386) AND (i < 387) AND (i < 388) AND
     (i < 389) AND (i < 390) AND (i < 391) AND (i < 392) AND (i < 393) AND (i < 394) AND
     (i < 395) AND (i < 396) AND (i < 397) AND (i < 398) AND (i < 399) AND (i < 400) AND
     (i < 401) AND (i < 402) AND (i < 403) THEN
    WriteString("all")
  END;
  WriteLn;
  x := FLOAT(i) / 1.0 + FLOAT(i) / 2.0 + FLOAT(i) / 3.0 + FLOAT(i) / 4.0 +
    FLOAT(i) / 5.0 + FLOAT(i) / 6.0 + FLOAT(i) / 7.0 + FLOAT(i) / 8.0 + FLOAT(i) / 9.0 +
    FLOAT(i) / 10.0 + FLOAT(i) / 11.0 + FLOAT(i) / 12.0 + FLOAT(i) / 13.0 +
    FLOAT(i) / 14.0 + FLOAT(i) / 15.0 + FLOAT(i) / 16.0 + FLOAT(i) / 17.0 +
    FLOAT(i) / 18.0 + FLOAT(i) / 19.0 + FLOAT(i) / 20.0 + FLOAT(i) / 21.0 +
    FLOAT(i) / 22.0 + FLOAT(i) / 23.0 + FLOAT(i) / 24.0 + FLOAT(i) / 25.0 +
    FLOAT(i) / 26.0 + FLOAT(i) / 27.0 + FLOAT(i) / 28.0 + FLOAT(i) / 29.0 +
    FLOAT(i) / 30.0 + FLOAT(i) / 31.0 + FLOAT(i) / 32.0 + FLOAT(i) / 33.0 +
    FLOAT(i) / 34.0 + FLOAT(i) / 35.0 + FLOAT(i) / 36.0 + FLOAT(i) / 37.0 +
    FLOAT(i) / 38.0 + FLOAT(i) / 39.0 + FLOAT(i) / 40.0 + FLOAT(i) / 41.0 +
    FLOAT(i) / 42.0 + FLOAT(i) / 43.0 + FLOAT(i) / 44.0 + FLOAT(i) / 45.0 +
    FLOAT(i) / 46.0 + FLOAT(i) / 47.0 + FLOAT(i) / 48.0 + FLOAT(i) / 49.0 +
    FLOAT(i) / 50.0 + FLOAT(i) / 51.0 + FLOAT(i) / 52.0 + FLOAT(i) / 53.0 +
    FLOAT(i) / 54.0 + FLOAT(i) / 55.0 + FLOAT(i) / 56.0 + FLOAT(i) / 57.0 +
    FLOAT(i) / 58.0 + FLOAT(i) / 59.0 + FLOAT(i) / 60.0 + FLOAT(i) / 61.0 +
    FLOAT(i) / 62.0 + FLOAT(i) / 63.0 + FLOAT(i) / 64.0 + FLOAT(i) / 65.0 +
    FLOAT(i) / 66.0 + FLOAT(i) / 67.0 + FLOAT(i) / 68.0 + FLOAT(i) / 69.0 +
    FLOAT(i) / 70.0 + FLOAT(i) / 71.0 + FLOAT(i) / 72.0 + FLOAT(i) / 73.0 +
    FLOAT(i) / 74.0 + FLOAT(i) / 75.0 + FLOAT(i) / 76.0 + FLOAT(i) / 77.0 +
    FLOAT(i) / 78.0 + FLOAT(i) / 79.0 + FLOAT(i) / 80.0 + FLOAT(i) / 81.0 +
    FLOAT(i) / 82.0 + FLOAT(i) / 83.0 + FLOAT(i) / 84.0 + FLOAT(i) / 85.0 +
    FLOAT(i) / 86.0 + FLOAT(i) / 87.0 + FLOAT(i) / 88.0 + FLOAT(i) / 89.0 +
    FLOAT(i) / 90.0 + FLOAT(i) / 91.0 + FLOAT(i) / 92.0 + FLOAT(i) / 93.0 +
    FLOAT(i) / 94.0 + FLOAT(i) / 95.0 + FLOAT(i) / 96.0 + FLOAT(i) / 97.0 +
    FLOAT(i) / 98.0 + FLOAT(i) / 99.0 + FLOAT(i) / 100.0 + FLOAT(i) / 101.0 +
    FLOAT(i) / 102.0 + FLOAT(i) / 103.0 + FLOAT(i) / 104.0 + FLOAT(i) / 105.0 +
    FLOAT(i) / 106.0 + FLOAT(i) / 107.0 + FLOAT(i) / 108.0 + FLOAT(i) / 109.0 +
    FLOAT(i) / 110.0 + FLOAT(i) / 111.0 + FLOAT(i) / 112.0 + FLOAT(i) / 113.0 +
    FLOAT(i) / 114.0 + FLOAT(i) / 115.0 + FLOAT(i) / 116.0 + FLOAT(i) / 117.0 +
    FLOAT(i) / 118.0 + FLOAT(i) / 119.0 + FLOAT(i) / 120.0 + FLOAT(i) / 121.0 +
    FLOAT(i) / 122.0 + FLOAT(i) / 123.0 + FLOAT(i) / 124.0 + FLOAT(i) / 125.0 +
    FLOAT(i) / 126.0 + FLOAT(i) / 127.0 + FLOAT(i) / 128.0 + FLOAT(i) / 129.0 +
    FLOAT(i) / 130.0 + FLOAT(i) / 131.0 + FLOAT(i) / 132.0 + FLOAT(i) / 133.0 +
    FLOAT(i) / 134.0 + FLOAT(i) / 135.0 + FLOAT(i) / 136.0 + FLOAT(i) / 137.0 +
    FLOAT(i) / 138.0 + FLOAT(i) / 139.0 + FLOAT(i) / 140.0 + FLOAT(i) / 141.0 +
    FLOAT(i) / 142.0 + FLOAT(i) / 143.0 + FLOAT(i) / 144.0 + FLOAT(i) / 145.0 +
    FLOAT(i) / 146.0 + FLOAT(i) / 147.0 + FLOAT(i) / 148.0 + FLOAT(i) / 149.0 +
    FLOAT(i) / 150.0 + FLOAT(i) / 151.0 + FLOAT(i) / 152.0 + FLOAT(i) / 153.0 +
    FLOAT(i) / 154.0 + FLOAT(i) / 155.0 + FLOAT(i) / 156.0 + FLOAT(i) / 157.0 +
    FLOAT(i) / 158.0 + FLOAT(i) / 159.0 + FLOAT(i) / 160.0 + FLOAT(i) / 161.0 +
    FLOAT(i) / 162.0 + FLOAT(i) / 163.0 + FLOAT(i) / 164.0 + FLOAT(i) / 165.0 +
    FLOAT(i) / 166.0 + FLOAT(i) / 167.0 + FLOAT(i) / 168.0 + FLOAT(i) / 169.0 +
    FLOAT(i) / 170.0 + FLOAT(i) / 171.0 + FLOAT(i) / 172.0 + FLOAT(i) / 173.0 +
    FLOAT(i) / 174.0 + FLOAT(i) / 175.0 + FLOAT(i) / 176.0 + FLOAT(i) / 177.0 +
    FLOAT(i) / 178.0 + FLOAT(i) / 179.0 + FLOAT(i) / 180.0 + FLOAT(i) / 181.0 +
    FLOAT(i) / 182.0 + FLOAT(i) / 183.0 + FLOAT(i) / 184.0 + FLOAT(i) / 185.0 +
    FLOAT(i) / 186.0 + FLOAT(i) / 187.0 + FLOAT(i) / 188.0 + FLOAT(i) / 189.0 +
    FLOAT(i) / 190.0 + FLOAT(i) / 191.0 + FLOAT(i) / 192.0 + FLOAT(i) / 193.0 +
    FLOAT(i) / 194.0 + FLOAT(i) / 195.0 + FLOAT(i) / 196.0 + FLOAT(i) / 197.0 +
    FLOAT(i) / 198.0 + FLOAT(i) / 199.0 + FLOAT(i) / 200.0 + FLOAT(i) / 201.0 +
    FLOAT(i) / 202.0 + FLOAT(i) / 203.0 + FLOAT(i) / 204.0 + FLOAT(i) / 205.0 +
    FLOAT(i) / 206.0 + FLOAT(i) / 207.0 + FLOAT(i) / 208.0 + FLOAT(i) / 209.0 +
    FLOAT(i) / 210.0 + FLOAT(i) / 211.0 + FLOAT(i) / 212.0 + FLOAT(i) / 213.0 +
    FLOAT(i) / 214.0 + FLOAT(i) / 215.0 + FLOAT(i) / 216.0 + FLOAT(i) / 217.0 +
    FLOAT(i) / 218.0 + FLOAT(i) / 219.0 + FLOAT(i) / 220.0 + FLOAT(i) / 221.0 +
    FLOAT(i) / 222.0 + FLOAT(i) / 223.0 + FLOAT(i) / 224.0 + FLOAT(i) / 225.0 +
    FLOAT(i) / 226.0 + FLOAT(i) / 227.0 + FLOAT(i) / 228.0 + FLOAT(i) / 229.0 +
    FLOAT(i) / 230.0 + FLOAT(i) / 231.0 + FLOAT(i) / 232.0 + FLOAT(i) / 233.0 +
    FLOAT(i) / 234.0 + FLOAT(i) / 235.0 + FLOAT(i) / 236.0 + FLOAT(i) / 237.0 +
    FLOAT(i) / 238.0 + FLOAT(i) / 239.0 + FLOAT(i) / 240.0 + FLOAT(i) / 241.0 +
    FLOAT(i) / 242.0 + FLOAT(i) / 243.0 + FLOAT(i) / 244.0 + FLOAT(i) / 245.0 +
    FLOAT(i) / 246.0 + FLOAT(i) / 247.0 + FLOAT(i) / 248.0 + FLOAT(i) / 249.0 +
    FLOAT(i) / 250.0 + FLOAT(i) / 251.0 + FLOAT(i) / 252.0 + FLOAT(i) / 253.0 +
    FLOAT(i) / 254.0 + FLOAT(i) / 255.0 + FLOAT(i) / 256.0 + FLOAT(i) / 257.0 +
    FLOAT(i) / 258.0 + FLOAT(i) / 259.0 + FLOAT(i) / 260.0 + FLOAT(i) / 261.0 +
    FLOAT(i) / 262.0 + FLOAT(i) / 263.0 + FLOAT(i) / 264.0 + FLOAT(i) / 265.0 +
    FLOAT(i) / 266.0 + FLOAT(i) / 267.0 + FLOAT(i) / 268.0 + FLOAT(i) / 269.0 +
    FLOAT(i) / 270.0 + FLOAT(i) / 271.0 + FLOAT(i) / 272.0 + FLOAT(i) / 273.0 +
    FLOAT(i) / 274.0 + FLOAT(i) / 275.0 + FLOAT(i) / 276.0 + FLOAT(i) / 277.0 +
    FLOAT(i) / 278.0 + FLOAT(i) / 279.0 + FLOAT(i) / 280.0 + FLOAT(i) / 281.0 +
    FLOAT(i) / 282.0 + FLOAT(i) / 283.0 + FLOAT(i) / 284.0 + FLOAT(i) / 285.0 +
    FLOAT(i) / 286.0 + FLOAT(i) / 287.0 + FLOAT(i) / 288.0 + FLOAT(i) / 289.0 +
    FLOAT(i) / 290.0 + FLOAT(i) / 291.0 + FLOAT(i) / 292.0 + FLOAT(i) / 293.0 +
    FLOAT(i) / 294.0 + FLOAT(i) / 295.0 + FLOAT(i) / 296.0 + FLOAT(i) / 297.0 +
    FLOAT(i) / 298.0 + FLOAT(i) / 299.0 + FLOAT(i) / 300.0 + FLOAT(i) / 301.0 +
    FLOAT(i) / 302.0 + FLOAT(i) / 303.0 + FLOAT(i) / 304.0 + FLOAT(i) / 305.0 +
    FLOAT(i) / 306.0 + FLOAT(i) / 307.0 + FLOAT(i) / 308.0 + FLOAT(i) / 309.0 +
    FLOAT(i) / 310.0 + FLOAT(i) / 311.0 + FLOAT(i) / 312.0 + FLOAT(i) / 313.0 +
    FLOAT(i) / 314.0 + FLOAT(i) / 315.0 + FLOAT(i) / 316.0 + FLOAT(i) / 317.0 +
    FLOAT(i) / 318.0 + FLOAT(i) / 319.0 + FLOAT(i) / 320.0 + FLOAT(i) / 321.0 +
    FLOAT(i) / 322.0 + FLOAT(i) / 323.0 + FLOAT(i) / 324.0 + FLOAT(i) / 325.0 +
    FLOAT(i) / 326.0 + FLOAT(i) / 327.0 + FLOAT(i) / 328.0 + FLOAT(i) / 329.0 +
    FLOAT(i) / 330.0 + FLOAT(i) / 331.0 + FLOAT(i) / 332.0 + FLOAT(i) / 333.0 +
    FLOAT(i) / 334.0 + FLOAT(i) / 335.0 + FLOAT(i) / 336.0 + FLOAT(i) / 337.0 +
    FLOAT(i) / 338.0 + FLOAT(i) / 339.0 + FLOAT(i) / 340.0 + FLOAT(i) / 341.0 +
    FLOAT(i) / 342.0 + FLOAT(i) / 343.0 + FLOAT(i) / 344.0 + FLOAT(i) / 345.0 +
    FLOAT(i) / 346.0 + FLOAT(i) / 347.0 + FLOAT(i) / 348.0 + FLOAT(i) / 349.0 +
    FLOAT(i) / 350.0 + FLOAT(i) / 351.0 + FLOAT(i) / 352.0 + FLOAT(i) / 353.0 +
    FLOAT(i) / 354.0 + FLOAT(i) / 355.0 + FLOAT(i) / 356.0 + FLOAT(i) / 357.0 +
    FLOAT(i) / 358.0 + FLOAT(i) / 359.0 + FLOAT(i) / 360.0 + FLOAT(i) / 361.0 +
    FLOAT(i) / 362.0 + FLOAT(i) / 363.0 + FLOAT(i) / 364.0 + FLOAT(i) / 365.0 +
    FLOAT(i) / 366.0 + FLOAT(i) / 367.0 + FLOAT(i) / 368.0 + FLOAT(i) / 369.0 +
    FLOAT(i) / 370.0 + FLOAT(i) / 371.0 + FLOAT(i) / 372.0 + FLOAT(i) / 373.0 +
    FLOAT(i) / 374.0 + FLOAT(i) / 375.0 + FLOAT(i) / 376.0 + FLOAT(i) / 377.0 +
    FLOAT(i) / 378.0 + FLOAT(i) / 379.0 + FLOAT(i) / 380.0 + FLOAT(i) / 381.0 +
    FLOAT(i) / 382.0 + FLOAT(i) / 383.0 + FLOAT(i) / 384.0 + FLOAT(i) / 385.0 +
    FLOAT(i) / 386.0 + FLOAT(i) / 387.0 + FLOAT(i) / 388.0 + FLOAT(i) / 389.0 +
    FLOAT(i) / 390.0 + FLOAT(i) / 391.0 + FLOAT(i) / 392.0 + FLOAT(i) / 393.0 +
    FLOAT(i) / 394.0 + FLOAT(i) / 395.0 + FLOAT(i) / 396.0 + FLOAT(i) / 397.0 +
    FLOAT(i) / 398.0 + FLOAT(i) / 399.0 + FLOAT(i) / 400.0;
  WriteInt(TRUNC(x * 1000.0), 0); WriteLn;
  b := Big{i + 0} + Big{i + 3} + Big{i + 6} + Big{i + 9} + Big{i + 12} + Big{i + 15} +
    Big{i + 18} + Big{i + 21} + Big{i + 24} + Big{i + 27} + Big{i + 30} + Big{i + 33} +
    Big{i + 36} + Big{i + 39} + Big{i + 42} + Big{i + 45} + Big{i + 48} + Big{i + 51} +
    Big{i + 54} + Big{i + 57} + Big{i + 60} + Big{i + 63} + Big{i + 66} + Big{i + 69} +
    Big{i + 72} + Big{i + 75} + Big{i + 78} + Big{i + 81} + Big{i + 84} + Big{i + 87} +
    Big{i + 90} + Big{i + 93} + Big{i + 96} + Big{i + 99} + Big{i + 102} + Big{i + 105} +
    Big{i + 108} + Big{i + 111} + Big{i + 114} + Big{i + 117} + Big{i + 120} +
    Big{i + 123} + Big{i + 126} + Big{i + 129} + Big{i + 132} + Big{i + 135} +
    Big{i + 138} + Big{i + 141} + Big{i + 144} + Big{i + 147} + Big{i + 150} +
    Big{i + 153} + Big{i + 156} + Big{i + 159} + Big{i + 162} + Big{i + 165} +
    Big{i + 168} + Big{i + 171} + Big{i + 174} + Big{i + 177} + Big{i + 180} +
    Big{i + 183} + Big{i + 186} + Big{i + 189} + Big{i + 192} + Big{i + 195};
  s := 0;
  FOR i := 0 TO 199 DO IF i IN b THEN INC(s, i) END END;
  WriteInt(s, 0); WriteLn
END flatsum.
